<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it_IT" sourcelanguage="it_IT">
<context>
    <name>ostrale::AggiornatoreC2</name>
    <message>
        <source>Scaricamento non riuscito: resta la lista precedente.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lista aggiornata: %1 indirizzi</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::AggiornatoreGeoDB</name>
    <message>
        <source>Scaricamento non riuscito: riprova più tardi.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Errore: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spacchettamento non riuscito.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il database scaricato non è leggibile: tengo quello di prima.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database aggiornato (%1).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::AvvioAutomaticoXdg</name>
    <message>
        <source>Non si può leggere %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non si può togliere %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il percorso del programma ha caratteri che l&apos;avvio automatico non accetta: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non si può creare la cartella %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non si può scrivere %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::BadgeAttacco</name>
    <message>
        <source>Click: fonti di questo attacco e decisioni</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>subiti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nessuno</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::Cruscotto</name>
    <message>
        <source>Ostrale vers. %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La sentinella di rete del tuo computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firewall attivo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installa estensione</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consentiti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Regole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attacchi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attacchi riconosciuti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pulisci</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ultimi flussi bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In quarantena</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il traffico viene filtrato</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il traffico passa senza controlli</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Segnalato</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sorgente bloccata</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dall&apos;indirizzo %1 verso la porta %2 del computer</source>
        <comment>attacchi</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>App %1 — ultima destinazione %2</source>
        <comment>attacchi</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessun flusso bloccato finora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Promuovi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessuna app in quarantena</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Clic: cambia vista</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::DelegatoAzioni</name>
    <message>
        <source>Blocca</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;host non è un dominio: nessuna regola di dominio può nominarlo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;app non è identificata: nessuna regola può nominarla</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca questa app: una regola per app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti questa app: una regola per app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca questo dominio ovunque, in qualunque app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Spiegami questo flusso (Claude)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::DettaglioAttacco</name>
    <message>
        <source>La sorgente non ha indirizzo né nome: nessuna regola può nominarla</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pulisci</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chiudi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessun attacco di questo tipo nell&apos;elenco</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le fonti compariranno qui appena la sentinella riconosce questo schema.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 nell&apos;elenco · %2 dall&apos;installazione</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Verso la porta %1 del computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ultima destinazione %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Permessa</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccata</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pulire l&apos;archivio di questo attacco?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Elenco delle fonti e contatore di questo badge ripartono da zero. Gli altri badge, le regole e le decisioni non si toccano.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Annulla</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Abituale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Verso una destinazione che l&apos;app usa dai giorni scorsi: tenuto nell&apos;archivio, senza avviso</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Questo schema da questa sorgente resta nell&apos;archivio, senza avvisi; le sorgenti bloccate sono sempre avvisate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Avvisa di nuovo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non avvisare più</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::FinestraDomanda</name>
    <message>
        <source>Connessione sospesa: decidi tu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Accesso bloccato per sicurezza</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Continua a bloccare</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti l&apos;app</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Restano %n secondi per decidere.</source>
        <translation>
            <numerusform>Resta %n secondo per decidere.</numerusform>
            <numerusform>Restano %n secondi per decidere.</numerusform>
        </translation>
    </message>
    <message>
        <source>Solo le connessioni in attesa: nessuna regola, la prossima connessione dell&apos;app chiede di nuovo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Finché il computer non si riavvia</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Anche i sottodomini di %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Per quanto:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Per cosa:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tempo scaduto: l&apos;estensione ha già deciso da sola per queste connessioni. La risposta crea comunque la regola scelta.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::FinestraPrincipale</name>
    <message>
        <source>Cruscotto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flussi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Regole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pagella</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Storico</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mappa</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attacchi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Interruttori</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Informazioni su Ostrale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La sentinella di rete del tuo computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Versione %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ostrale controlla le connessioni del tuo computer con un&apos;estensione di sistema: regole per app, quarantena del software nuovo, pagella privacy e mappa dei collegamenti. Tutto resta sul tuo computer.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;Dati usati&lt;/b&gt;&lt;br&gt;Geolocalizzazione: DB-IP City Lite, © DB-IP.com, licenza CC BY 4.0 (incluso nell&apos;app).&lt;br&gt;Domini di pubblicità e tracciamento: EasyList ed EasyPrivacy, © The EasyList authors, GPL v3+ o CC BY-SA 3.0+.&lt;br&gt;Indirizzi di comando e controllo: Feodo Tracker e ThreatFox di abuse.ch, CC0.&lt;br&gt;Mappa: terre emerse di Natural Earth (pubblico dominio) dal pacchetto world-atlas, © Michael Bostock, licenza ISC.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::GestoreEsterno</name>
    <message>
        <source>l&apos;estensione è gestita da altri</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::GestoreLocale</name>
    <message>
        <source>%1 non trovato</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nessun comando per l&apos;estensione</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::GestoreSystemd</name>
    <message>
        <source>%1 non è installata</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::IconaBarra</name>
    <message>
        <source>Tutto regolare</source>
        <comment>semaforo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flussi bloccati di recente</source>
        <comment>semaforo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Molti flussi bloccati</source>
        <comment>semaforo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Firewall spento</source>
        <comment>semaforo</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::ModelloFlussi</name>
    <message>
        <source>Dominio in lista tracker/pubblicità</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Destinazione mai vista prima per questa app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consentito</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccato</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>App</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Destinazione</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Prot.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Direzione</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Esito</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Azioni</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::RigaAggiornabile</name>
    <message>
        <source>Scarico…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aggiorna adesso</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::RigaRegola</name>
    <message>
        <source>Accesa: la regola vale. Spenta: resta nell&apos;elenco ma non vale.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A orario</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(fuori orario vale la politica predefinita)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vale dal</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>alle</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Elimina la regola</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>compresi i sottodomini</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>in scadenza</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>ancora %n min</source>
        <translation>
            <numerusform>ancora %n min</numerusform>
            <numerusform>ancora %n min</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>ancora %n h</source>
        <translation>
            <numerusform>ancora %n h</numerusform>
            <numerusform>ancora %n h</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>ancora %n giorni</source>
        <translation>
            <numerusform>ancora %n giorno</numerusform>
            <numerusform>ancora %n giorni</numerusform>
        </translation>
    </message>
    <message>
        <source>fino al riavvio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Poi la regola sparisce da sola</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rendi permanente</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La regola resta finché non la togli</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>solo per %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>porta %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::SceltaAzione</name>
    <message>
        <source>Consenti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::SelettoreLingua</name>
    <message>
        <source>Lingua dell&apos;interfaccia</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Come il sistema</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Italiano o inglese; «Come il sistema» segue la lingua del computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La lingua cambia alla prossima apertura di Ostrale.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Riapri adesso</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::Spiegatore</name>
    <message>
        <source>Errore API (codice %1).</source>
        <comment>errore</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Risposta non leggibile o connessione fallita.</source>
        <comment>errore</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chiave API non valida: controllala e riprova.</source>
        <comment>errore</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>sì</source>
        <comment>tracker</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no</source>
        <comment>tracker</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>consentita</source>
        <comment>esito</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>bloccata</source>
        <comment>esito</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Indirizzo del servizio non valido o non protetto (serve HTTPS).</source>
        <comment>errore</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::StatoApp</name>
    <message>
        <source>%1 — segnalato, non bloccato. Dettagli nella vista Attacchi.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 — sorgente bloccata per 10 minuti. Dettagli nella vista Attacchi.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Possibile attacco: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apri la vista Attacchi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>App che si sveglia</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 ha contattato una destinazione nuova: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connessione sospesa: decidi tu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Estensione non installata</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Installazione in corso…</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Da approvare: serve l&apos;autorizzazione dell&apos;amministratore</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Estensione installata</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attiva al prossimo riavvio</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stato sconosciuto</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Errore: %1</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Estensione attiva</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Un&apos;altra copia di Ostrale è già collegata all&apos;estensione</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non autorizzato: aggiungi il tuo utente al gruppo ostrale</source>
        <comment>stato</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non avvisarmi più</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Solo questa volta</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::VistaAttacchi</name>
    <message>
        <source>I sedici schemi d&apos;attacco sorvegliati dalla sentinella. Il contatore è storico; click su un badge per vedere le fonti e decidere se permetterle o bloccarle.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le sorgenti bloccate restano ferme per 10 minuti; le regole esplicite che crei tu vincono comunque. Spegnibile dagli Interruttori.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::VistaBarraMenu</name>
    <message>
        <source>Filtro</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessun flusso registrato</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apri Ostrale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Esci</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::VistaFlussi</name>
    <message>
        <source>Solo bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cerca app o host</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessun flusso registrato</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I flussi compariranno appena le app si collegano alla rete.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Accendi il firewall dal Cruscotto per vedere i flussi.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessun flusso corrisponde</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cambia la ricerca o spegni «Solo bloccati».</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cambia la ricerca.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copia l&apos;app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copia l&apos;host</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Copia l&apos;indirizzo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca questa app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti questa app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca questo dominio ovunque</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::VistaInterruttori</name>
    <message>
        <source>Lingua</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Avvio e avvisi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Avvia Ostrale al login</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Apre l&apos;app automaticamente all&apos;accensione del computer (il filtro comunque lavora anche ad app chiusa)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;avvio automatico non è disponibile qui.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chiedi quando blocco per sicurezza</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Finestra di decisione quando un&apos;app viene bloccata dalla quarantena o dalla politica sulle sconosciute: continua a bloccare o consenti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filtro</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ignora il traffico locale (LAN)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le connessioni verso la tua rete (192.168.x, 10.x, multicast/Bonjour, Tailscale) passano senza controlli e non finiscono nei conteggi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fidati dei processi di sistema</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tutto ciò che sta nelle cartelle di sistema (/usr/lib/systemd, /usr/libexec, /usr/sbin) passa senza quarantena né politica sulle sconosciute; le tue regole e il blocco tracker valgono comunque</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca le app senza regola</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le app nuove vengono bloccate finché non le consenti tu</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Filtra anche le connessioni in entrata</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Esamina pure il traffico che arriva verso il computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Registra i flussi consentiti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Se spento, nella vista Flussi compaiono solo quelli bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Protezioni</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rileva gli attacchi informatici</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La sentinella riconosce %1 schemi d&apos;attacco (scansioni, forza bruta, tunnel DNS, beaconing, porte malfamate, flood UDP, domini contraffatti…): segnala nella vista Attacchi e blocca la sorgente per 10 minuti (le tue regole esplicite vincono)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sospendi e chiedi prima di bloccare</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La connessione sospetta resta ferma (fino a 60 secondi) finché non decidi tu. Accendendolo, Ostrale si mette anche in avvio automatico, così c&apos;è sempre</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca i tracker e la pubblicità</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Quarantena per il software nuovo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Avvisa quando un&apos;app si sveglia</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Notifica se un&apos;app conosciuta contatta una destinazione mai vista prima</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Difese aggiornabili</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Indirizzi dei centri di comando (%1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database delle posizioni (DB-IP, a bordo)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca in tutte le app le connessioni verso %1 domini pubblicitari e di tracciamento (le regole esplicite vincono)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le app mai viste prima restano bloccate per %1 giorni, finché non le promuovi dal Cruscotto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Servizio non disponibile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 indirizzi · aggiornata il %2 — si rinfresca da sola ogni giorno</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 indirizzi (edizione a bordo) — si aggiorna da solo ogni giorno</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edizione di %1 — si aggiorna da solo quando DB-IP ne pubblica una nuova (circa 60 MB da %2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Database non caricato</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::VistaPagella</name>
    <message>
        <source>%1 bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 anomalie</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessun dato ancora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La pagella si riempie man mano che arrivano i flussi con il firewall acceso.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Voti sulla quota di connessioni verso domini tracker/pubblicità (lista locale, %1 domini), sull&apos;intero storico. A = pulita, D = più di metà tracker.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n flussi</source>
        <translation>
            <numerusform>%n flusso</numerusform>
            <numerusform>%n flussi</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ostrale::VistaRegole</name>
    <message>
        <source>Per app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessuna regola</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Crea regole dalla vista Flussi con i pulsanti Blocca e Consenti, oppure aggiungine una qui sotto.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Identificativo dell&apos;app (es. /usr/bin/curl)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aggiungi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Dominio da regolare ovunque (es. example.com)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;inizio e la fine coincidono: la fascia sarebbe vuota. Scegli due orari diversi.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Esporta…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Salva regole e impostazioni in un file, da importare qui o su un altro computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Importa…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unisci le regole di un file esportato: prima vedi cosa cambia</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Esporta le regole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Importa regole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Regole di Ostrale (*.json)</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Esportate %n regole in %1</source>
        <translation>
            <numerusform>Esportata %n regola in %1</numerusform>
            <numerusform>Esportate %n regole in %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Esportazione non riuscita: %1 (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>il file supera %1 MiB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il file non si può importare, nessuna regola cambiata: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Da %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Rimuovi le regole che il file non ha</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Importa</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Da aggiungere:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Da cambiare:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Da rimuovere:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le impostazioni diventano quelle del file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Niente da cambiare: le regole sono già quelle del file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Importate: %1 aggiunte, %2 cambiate, %3 rimosse</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Per dominio — in qualunque app, se la regola non ne nomina una</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::VistaSpiegazione</name>
    <message>
        <source>Spiegazione del flusso</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chiudi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>→ %1:%2 · %3 · %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>consentito</source>
        <comment>esito</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>bloccato</source>
        <comment>esito</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Per le spiegazioni serve una chiave API Anthropic (una volta sola).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Salva e spiega</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chiedo a Claude…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Riprova</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::VistaStorico</name>
    <message>
        <source>Consentiti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracker</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flussi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Esito</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ultime 24 ore</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tracker nelle ultime 24 ore</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Giorno</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il grafico per giorno prende forma dopo un paio di giorni di utilizzo.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ultimi 30 giorni</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lo storico è scritto dall&apos;estensione e conserva 60 giorni di dati aggregati per ora; conta tutti i flussi esaminati, anche col cruscotto chiuso ma con il firewall acceso.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::mappa</name>
    <message>
        <source>La regola vale ovunque per %1, sottodomini compresi</source>
        <comment>mappa</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tutte</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In uscita</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In entrata</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>… e altri %1. Click per l&apos;elenco.</source>
        <comment>mappa</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click per i dettagli.</source>
        <comment>mappa</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il mio computer</source>
        <comment>mappa</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il mio computer (%1)</source>
        <comment>mappa</comment>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::mappa::DettaglioPunto</name>
    <message>
        <source>%1 flussi · %2 bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chiudi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>IP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>App</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Flussi</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Regola</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>(%1 bloccati)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ostrale::mappa::VistaMappa</name>
    <message>
        <source>Direzione</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Allontana</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Avvicina</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vista iniziale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consentiti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Misti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccati</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Geolocalizzazione locale — database DB-IP a bordo, nessun dato esce dal computer</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nessuna destinazione ancora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Con il firewall acceso, le destinazioni dei flussi compaiono sulla mappa man mano che vengono geolocalizzate.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n indirizzi in attesa di posizione…</source>
        <translation>
            <numerusform>%n indirizzo in attesa di posizione…</numerusform>
            <numerusform>%n indirizzi in attesa di posizione…</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ostrale::testi</name>
    <message>
        <source>attacco_scansione</source>
        <comment>attacco</comment>
        <translation>Scansione delle porte</translation>
    </message>
    <message>
        <source>spiega_scansione</source>
        <comment>attacco</comment>
        <translation>Qualcuno bussa a molte porte del computer in poco tempo per scoprire quali servizi sono in ascolto: di solito è il primo passo prima di un attacco.</translation>
    </message>
    <message>
        <source>attacco_forza_bruta</source>
        <comment>attacco</comment>
        <translation>Forza bruta</translation>
    </message>
    <message>
        <source>spiega_forza_bruta</source>
        <comment>attacco</comment>
        <translation>Tentativi ripetuti di accesso allo stesso servizio (SSH, desktop remoto, posta…) da una sola sorgente: qualcuno prova una password dopo l&apos;altra.</translation>
    </message>
    <message>
        <source>attacco_raffica</source>
        <comment>attacco</comment>
        <translation>Raffica di connessioni</translation>
    </message>
    <message>
        <source>spiega_raffica</source>
        <comment>attacco</comment>
        <translation>Un&apos;app apre moltissime connessioni in pochi secondi, molto più del solito: può essere un programma impazzito o malware che si diffonde o attacca altri.</translation>
    </message>
    <message>
        <source>attacco_tunnel_dns</source>
        <comment>attacco</comment>
        <translation>Tunnel DNS</translation>
    </message>
    <message>
        <source>spiega_tunnel_dns</source>
        <comment>attacco</comment>
        <translation>Richieste DNS con nomi lunghi e casuali verso lo stesso dominio: un modo per far passare dati di nascosto dentro il traffico DNS.</translation>
    </message>
    <message>
        <source>attacco_beaconing</source>
        <comment>attacco</comment>
        <translation>Beaconing</translation>
    </message>
    <message>
        <source>spiega_beaconing</source>
        <comment>attacco</comment>
        <translation>Un&apos;app contatta lo stesso indirizzo a intervalli regolarissimi, come un orologio: è il modo in cui il malware dà notizie di sé al suo centro di comando.</translation>
    </message>
    <message>
        <source>attacco_domini_sospetti</source>
        <comment>attacco</comment>
        <translation>Domini sospetti</translation>
    </message>
    <message>
        <source>spiega_domini_sospetti</source>
        <comment>attacco</comment>
        <translation>Un&apos;app cerca molti nomi di dominio dall&apos;aspetto casuale: il malware li genera per trovare il suo server anche quando alcuni vengono chiusi.</translation>
    </message>
    <message>
        <source>attacco_scansione_uscita</source>
        <comment>attacco</comment>
        <translation>Scansione in uscita</translation>
    </message>
    <message>
        <source>spiega_scansione_uscita</source>
        <comment>attacco</comment>
        <translation>Un&apos;app di questo computer prova molte porte o molti indirizzi di altri: qualcosa qui sta esplorando la rete.</translation>
    </message>
    <message>
        <source>attacco_porta_malfamata</source>
        <comment>attacco</comment>
        <translation>Porta malfamata</translation>
    </message>
    <message>
        <source>spiega_porta_malfamata</source>
        <comment>attacco</comment>
        <translation>Un collegamento usa una porta nota per backdoor, trojan o servizi che non dovrebbero mai essere esposti.</translation>
    </message>
    <message>
        <source>attacco_flood_udp</source>
        <comment>attacco</comment>
        <translation>Flood UDP</translation>
    </message>
    <message>
        <source>spiega_flood_udp</source>
        <comment>attacco</comment>
        <translation>Una valanga di pacchetti UDP da una stessa sorgente o verso una stessa destinazione: un tentativo di saturare la rete o un servizio.</translation>
    </message>
    <message>
        <source>attacco_dominio_contraffatto</source>
        <comment>attacco</comment>
        <translation>Dominio contraffatto</translation>
    </message>
    <message>
        <source>spiega_dominio_contraffatto</source>
        <comment>attacco</comment>
        <translation>Un nome che imita quello di un servizio noto con lettere scambiate o simili: il trucco tipico del phishing.</translation>
    </message>
    <message>
        <source>attacco_ip_diretto</source>
        <comment>attacco</comment>
        <translation>Indirizzo diretto</translation>
    </message>
    <message>
        <source>spiega_ip_diretto</source>
        <comment>attacco</comment>
        <translation>Un&apos;app si collega a un indirizzo numerico senza averne mai cercato il nome: i programmi normali usano i nomi, il malware spesso no.</translation>
    </message>
    <message>
        <source>attacco_c2_noto</source>
        <comment>attacco</comment>
        <translation>Server di comando noto</translation>
    </message>
    <message>
        <source>spiega_c2_noto</source>
        <comment>attacco</comment>
        <translation>La destinazione è nelle liste pubbliche dei server che comandano malware e botnet: un collegamento qui è quasi sempre cattivo segno.</translation>
    </message>
    <message>
        <source>attacco_canale_persistente</source>
        <comment>attacco</comment>
        <translation>Canale persistente</translation>
    </message>
    <message>
        <source>spiega_canale_persistente</source>
        <comment>attacco</comment>
        <translation>Un collegamento resta aperto a lungo verso una destinazione poco comune: può essere un canale di controllo remoto.</translation>
    </message>
    <message>
        <source>attacco_esfiltrazione_lenta</source>
        <comment>attacco</comment>
        <translation>Esfiltrazione lenta</translation>
    </message>
    <message>
        <source>spiega_esfiltrazione_lenta</source>
        <comment>attacco</comment>
        <translation>Piccole quantità di dati escono verso la stessa destinazione, poco alla volta e per molto tempo: un modo per portare via dati senza farsi notare.</translation>
    </message>
    <message>
        <source>attacco_protocollo_anomalo</source>
        <comment>attacco</comment>
        <translation>Protocollo anomalo</translation>
    </message>
    <message>
        <source>spiega_protocollo_anomalo</source>
        <comment>attacco</comment>
        <translation>Traffico con un protocollo o su una porta che non corrisponde a ciò che l&apos;app fa di solito.</translation>
    </message>
    <message>
        <source>attacco_laterale_lan</source>
        <comment>attacco</comment>
        <translation>Movimento laterale in LAN</translation>
    </message>
    <message>
        <source>spiega_laterale_lan</source>
        <comment>attacco</comment>
        <translation>Un dispositivo della rete locale prova a entrare in altri dispositivi della stessa rete: così un&apos;infezione passa da un computer all&apos;altro.</translation>
    </message>
    <message>
        <source>è in quarantena (software nuovo)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>non ha una regola e la politica blocca le app sconosciute</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>corpo_avviso_blocco</source>
        <translation>Ostrale ha bloccato %1 mentre si collegava a %2 sulla porta %3: l&apos;app %4.

Puoi continuare a bloccarla o lasciarla collegare da ora in poi. La scelta diventa una regola per l&apos;app.</translation>
    </message>
    <message>
        <source>corpo_avviso_sospeso</source>
        <translation>%1 vuole collegarsi a %2 sulla porta %3, ma l&apos;app %4.

La connessione resta sospesa finché non decidi, al massimo 60 secondi. La risposta vale per il tempo e per le destinazioni che scegli.</translation>
    </message>
    <message>
        <source>prompt_spiegami</source>
        <comment>prompt AI</comment>
        <translation>Spiega in poche frasi semplici, senza gergo tecnico, che cosa fa questo flusso di rete e se c&apos;è motivo di preoccuparsi.

Applicazione: %1
Destinazione: %2
Porta: %3
Protocollo: %4
Direzione: %5
Tracker noto: %6
Esito: %7</translation>
    </message>
    <message>
        <source>Regole aggiornate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Niente da cambiare</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Una regola per app richiede l&apos;identità dell&apos;app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;app non è identificata: nessuna regola può nominarla</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Non è un dominio (serve un punto e almeno 4 caratteri) né un indirizzo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La regola non esiste più</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Una fascia oraria va dal minuto 0 al minuto 1440 del giorno</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le regole per dominio non hanno fascia oraria</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>I giorni di quarantena vanno da 0 a 3650</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Modifica incompleta</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Il file delle regole non si può scrivere: nulla è cambiato</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>L&apos;estensione non ha risposto</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Entrata</source>
        <comment>direzione flusso</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uscita</source>
        <comment>direzione flusso</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deciso da una regola</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deciso dalla politica predefinita</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccato dalla quarantena del software nuovo</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deciso da una regola a fascia oraria</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccato dalla lista tracker/pubblicità</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Deciso da una regola di dominio</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Consentito: processo di sistema fidato</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bloccato dalla sentinella: sorgente di un attacco riconosciuto</source>
        <comment>motivo</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Solo questa volta</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>15 minuti</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 ora</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>12 ore</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fino al riavvio</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Per sempre</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tutta l&apos;app</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Solo verso %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Solo verso %1, porta %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>solo questa volta</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>per 15 minuti</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>per 1 ora</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>per 12 ore</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>fino al riavvio</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>per sempre</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>per tutta l&apos;app</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>solo verso %1</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>solo verso %1, porta %2</source>
        <comment>vale</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Vale %1, %2</source>
        <extracomment>%1: how long (&quot;per 1 ora&quot;), %2: for what (&quot;solo verso example.com&quot;)</extracomment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Una porta è un numero da 1 a 65535</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
