<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="it_IT">
<context>
    <name>ostrale::AggiornatoreC2</name>
    <message>
        <source>Scaricamento non riuscito: resta la lista precedente.</source>
        <translation>Download failed: the previous list stays.</translation>
    </message>
    <message>
        <source>Lista aggiornata: %1 indirizzi</source>
        <translation>List updated: %1 addresses</translation>
    </message>
</context>
<context>
    <name>ostrale::AggiornatoreGeoDB</name>
    <message>
        <source>Scaricamento non riuscito: riprova più tardi.</source>
        <translation>Download failed: try again later.</translation>
    </message>
    <message>
        <source>Errore: %1</source>
        <translation>Error: %1</translation>
    </message>
    <message>
        <source>Spacchettamento non riuscito.</source>
        <translation>Could not unpack the download.</translation>
    </message>
    <message>
        <source>Il database scaricato non è leggibile: tengo quello di prima.</source>
        <translation>The downloaded database is unreadable: keeping the previous one.</translation>
    </message>
    <message>
        <source>Database aggiornato (%1).</source>
        <translation>Database updated (%1).</translation>
    </message>
</context>
<context>
    <name>ostrale::AvvioAutomaticoXdg</name>
    <message>
        <source>Non si può leggere %1: %2</source>
        <translation>Cannot read %1: %2</translation>
    </message>
    <message>
        <source>Non si può togliere %1: %2</source>
        <translation>Cannot remove %1: %2</translation>
    </message>
    <message>
        <source>Il percorso del programma ha caratteri che l&apos;avvio automatico non accetta: %1</source>
        <translation>The program&apos;s path has characters a login entry cannot hold: %1</translation>
    </message>
    <message>
        <source>Non si può creare la cartella %1.</source>
        <translation>Cannot create the folder %1.</translation>
    </message>
    <message>
        <source>Non si può scrivere %1: %2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
</context>
<context>
    <name>ostrale::BadgeAttacco</name>
    <message>
        <source>Click: fonti di questo attacco e decisioni</source>
        <translation>Click: this attack&apos;s sources and decisions</translation>
    </message>
    <message>
        <source>subiti</source>
        <translation>suffered</translation>
    </message>
    <message>
        <source>nessuno</source>
        <translation>none</translation>
    </message>
</context>
<context>
    <name>ostrale::Cruscotto</name>
    <message>
        <source>Ostrale vers. %1</source>
        <translation>Ostrale version %1</translation>
    </message>
    <message>
        <source>La sentinella di rete del tuo computer</source>
        <translation>The network sentinel of your computer</translation>
    </message>
    <message>
        <source>Firewall attivo</source>
        <translation>Firewall on</translation>
    </message>
    <message>
        <source>Installa estensione</source>
        <translation>Install extension</translation>
    </message>
    <message>
        <source>Consentiti</source>
        <translation>Allowed</translation>
    </message>
    <message>
        <source>Bloccati</source>
        <translation>Blocked</translation>
    </message>
    <message>
        <source>Regole</source>
        <translation>Rules</translation>
    </message>
    <message>
        <source>Attacchi</source>
        <translation>Attacks</translation>
    </message>
    <message>
        <source>Attacchi riconosciuti</source>
        <translation>Attacks detected</translation>
    </message>
    <message>
        <source>Pulisci</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Ultimi flussi bloccati</source>
        <translation>Latest blocked flows</translation>
    </message>
    <message>
        <source>In quarantena</source>
        <translation>In quarantine</translation>
    </message>
    <message>
        <source>Il traffico viene filtrato</source>
        <translation>Traffic is being filtered</translation>
    </message>
    <message>
        <source>Il traffico passa senza controlli</source>
        <translation>Traffic passes unchecked</translation>
    </message>
    <message>
        <source>Segnalato</source>
        <translation>Reported</translation>
    </message>
    <message>
        <source>Sorgente bloccata</source>
        <translation>Source blocked</translation>
    </message>
    <message>
        <source>Dall&apos;indirizzo %1 verso la porta %2 del computer</source>
        <comment>attacchi</comment>
        <translation>From address %1 to port %2 of the computer</translation>
    </message>
    <message>
        <source>App %1 — ultima destinazione %2</source>
        <comment>attacchi</comment>
        <translation>App %1 — last destination %2</translation>
    </message>
    <message>
        <source>Nessun flusso bloccato finora</source>
        <translation>No blocked flows yet</translation>
    </message>
    <message>
        <source>Promuovi</source>
        <translation>Promote</translation>
    </message>
    <message>
        <source>Nessuna app in quarantena</source>
        <translation>No apps in quarantine</translation>
    </message>
    <message>
        <source>Clic: cambia vista</source>
        <translation>Click: switch view</translation>
    </message>
</context>
<context>
    <name>ostrale::DelegatoAzioni</name>
    <message>
        <source>Blocca</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>L&apos;host non è un dominio: nessuna regola di dominio può nominarlo</source>
        <translation>The host is not a domain: no domain rule can name it</translation>
    </message>
    <message>
        <source>L&apos;app non è identificata: nessuna regola può nominarla</source>
        <translation>The application is not identified: no rule can name it</translation>
    </message>
    <message>
        <source>Blocca questa app: una regola per app</source>
        <translation>Block this app: an app rule</translation>
    </message>
    <message>
        <source>Consenti questa app: una regola per app</source>
        <translation>Allow this app: an app rule</translation>
    </message>
    <message>
        <source>Blocca questo dominio ovunque, in qualunque app</source>
        <translation>Block this domain everywhere, in any app</translation>
    </message>
    <message>
        <source>Spiegami questo flusso (Claude)</source>
        <translation>Explain this flow (Claude)</translation>
    </message>
</context>
<context>
    <name>ostrale::DettaglioAttacco</name>
    <message>
        <source>La sorgente non ha indirizzo né nome: nessuna regola può nominarla</source>
        <translation>The source has neither address nor name: no rule can name it</translation>
    </message>
    <message>
        <source>Pulisci</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Chiudi</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Nessun attacco di questo tipo nell&apos;elenco</source>
        <translation>No attack of this kind in the list</translation>
    </message>
    <message>
        <source>Le fonti compariranno qui appena la sentinella riconosce questo schema.</source>
        <translation>Sources will appear here as soon as the sentinel recognises this pattern.</translation>
    </message>
    <message>
        <source>%1 nell&apos;elenco · %2 dall&apos;installazione</source>
        <translation>%1 in the list · %2 since installation</translation>
    </message>
    <message>
        <source>Verso la porta %1 del computer</source>
        <translation>To port %1 of the computer</translation>
    </message>
    <message>
        <source>Ultima destinazione %1</source>
        <translation>Last destination %1</translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Permessa</source>
        <translation>Allowed</translation>
    </message>
    <message>
        <source>Bloccata</source>
        <translation>Blocked</translation>
    </message>
    <message>
        <source>Pulire l&apos;archivio di questo attacco?</source>
        <translation>Clear this attack&apos;s archive?</translation>
    </message>
    <message>
        <source>Elenco delle fonti e contatore di questo badge ripartono da zero. Gli altri badge, le regole e le decisioni non si toccano.</source>
        <translation>This badge&apos;s list of sources and its counter start again from zero. The other badges, the rules and the decisions are not touched.</translation>
    </message>
    <message>
        <source>Annulla</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Abituale</source>
        <translation>Habitual</translation>
    </message>
    <message>
        <source>Verso una destinazione che l&apos;app usa dai giorni scorsi: tenuto nell&apos;archivio, senza avviso</source>
        <translation>Towards a destination the app has used on earlier days: kept in the archive, without an alert</translation>
    </message>
    <message>
        <source>Questo schema da questa sorgente resta nell&apos;archivio, senza avvisi; le sorgenti bloccate sono sempre avvisate</source>
        <translation>This pattern from this source stays in the archive, without alerts; stopped sources are always told</translation>
    </message>
    <message>
        <source>Avvisa di nuovo</source>
        <translation>Alert me again</translation>
    </message>
    <message>
        <source>Non avvisare più</source>
        <translation>Don&apos;t alert again</translation>
    </message>
</context>
<context>
    <name>ostrale::FinestraDomanda</name>
    <message>
        <source>Connessione sospesa: decidi tu</source>
        <translation>Connection on hold: your call</translation>
    </message>
    <message>
        <source>Accesso bloccato per sicurezza</source>
        <translation>Access blocked for your safety</translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Continua a bloccare</source>
        <translation>Keep blocking</translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>Consenti l&apos;app</source>
        <translation>Allow the app</translation>
    </message>
    <message numerus="yes">
        <source>Restano %n secondi per decidere.</source>
        <translation>
            <numerusform>%n second left to decide.</numerusform>
            <numerusform>%n seconds left to decide.</numerusform>
        </translation>
    </message>
    <message>
        <source>Solo le connessioni in attesa: nessuna regola, la prossima connessione dell&apos;app chiede di nuovo</source>
        <translation>Only the waiting connections: no rule, the app&apos;s next connection asks again</translation>
    </message>
    <message>
        <source>Finché il computer non si riavvia</source>
        <translation>Until the computer restarts</translation>
    </message>
    <message>
        <source>Anche i sottodomini di %1</source>
        <translation>Subdomains of %1 too</translation>
    </message>
    <message>
        <source>Per quanto:</source>
        <translation>How long:</translation>
    </message>
    <message>
        <source>Per cosa:</source>
        <translation>For what:</translation>
    </message>
    <message>
        <source>Tempo scaduto: l&apos;estensione ha già deciso da sola per queste connessioni. La risposta crea comunque la regola scelta.</source>
        <translation>Time is up: the extension has already decided these connections by itself. Your answer still makes the rule you choose.</translation>
    </message>
</context>
<context>
    <name>ostrale::FinestraPrincipale</name>
    <message>
        <source>Cruscotto</source>
        <translation>Dashboard</translation>
    </message>
    <message>
        <source>Flussi</source>
        <translation>Flows</translation>
    </message>
    <message>
        <source>Regole</source>
        <translation>Rules</translation>
    </message>
    <message>
        <source>Pagella</source>
        <translation>Report card</translation>
    </message>
    <message>
        <source>Storico</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Mappa</source>
        <translation>Map</translation>
    </message>
    <message>
        <source>Attacchi</source>
        <translation>Attacks</translation>
    </message>
    <message>
        <source>Interruttori</source>
        <translation>Switches</translation>
    </message>
    <message>
        <source>Informazioni su Ostrale</source>
        <translation>About Ostrale</translation>
    </message>
    <message>
        <source>La sentinella di rete del tuo computer</source>
        <translation>The network sentinel of your computer</translation>
    </message>
    <message>
        <source>Versione %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Ostrale controlla le connessioni del tuo computer con un&apos;estensione di sistema: regole per app, quarantena del software nuovo, pagella privacy e mappa dei collegamenti. Tutto resta sul tuo computer.</source>
        <translation>Ostrale watches your computer&apos;s connections with a system extension: per-app rules, quarantine for new software, a privacy report card and a map of connections. Everything stays on your computer.</translation>
    </message>
    <message>
        <source>&lt;b&gt;Dati usati&lt;/b&gt;&lt;br&gt;Geolocalizzazione: DB-IP City Lite, © DB-IP.com, licenza CC BY 4.0 (incluso nell&apos;app).&lt;br&gt;Domini di pubblicità e tracciamento: EasyList ed EasyPrivacy, © The EasyList authors, GPL v3+ o CC BY-SA 3.0+.&lt;br&gt;Indirizzi di comando e controllo: Feodo Tracker e ThreatFox di abuse.ch, CC0.&lt;br&gt;Mappa: terre emerse di Natural Earth (pubblico dominio) dal pacchetto world-atlas, © Michael Bostock, licenza ISC.</source>
        <translation>&lt;b&gt;Data used&lt;/b&gt;&lt;br&gt;Geolocation: DB-IP City Lite, © DB-IP.com, CC BY 4.0 licence (included in the app).&lt;br&gt;Advertising and tracking domains: EasyList and EasyPrivacy, © The EasyList authors, GPL v3+ or CC BY-SA 3.0+.&lt;br&gt;Command-and-control addresses: Feodo Tracker and ThreatFox by abuse.ch, CC0.&lt;br&gt;Map: Natural Earth land (public domain) from the world-atlas package, © Michael Bostock, ISC licence.</translation>
    </message>
</context>
<context>
    <name>ostrale::GestoreEsterno</name>
    <message>
        <source>l&apos;estensione è gestita da altri</source>
        <translation>the extension is managed by someone else</translation>
    </message>
</context>
<context>
    <name>ostrale::GestoreLocale</name>
    <message>
        <source>%1 non trovato</source>
        <translation>%1 not found</translation>
    </message>
    <message>
        <source>nessun comando per l&apos;estensione</source>
        <translation>no command for the extension</translation>
    </message>
</context>
<context>
    <name>ostrale::GestoreSystemd</name>
    <message>
        <source>%1 non è installata</source>
        <translation>%1 is not installed</translation>
    </message>
</context>
<context>
    <name>ostrale::IconaBarra</name>
    <message>
        <source>Tutto regolare</source>
        <comment>semaforo</comment>
        <translation>All clear</translation>
    </message>
    <message>
        <source>Flussi bloccati di recente</source>
        <comment>semaforo</comment>
        <translation>Flows blocked recently</translation>
    </message>
    <message>
        <source>Molti flussi bloccati</source>
        <comment>semaforo</comment>
        <translation>Many flows blocked</translation>
    </message>
    <message>
        <source>Firewall spento</source>
        <comment>semaforo</comment>
        <translation>Firewall off</translation>
    </message>
</context>
<context>
    <name>ostrale::ModelloFlussi</name>
    <message>
        <source>Dominio in lista tracker/pubblicità</source>
        <translation>Domain on the tracker/advertising list</translation>
    </message>
    <message>
        <source>Destinazione mai vista prima per questa app</source>
        <translation>Destination never seen before for this app</translation>
    </message>
    <message>
        <source>Consentito</source>
        <translation>Allowed</translation>
    </message>
    <message>
        <source>Bloccato</source>
        <translation>Blocked</translation>
    </message>
    <message>
        <source>Ora</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>App</source>
        <translation>App</translation>
    </message>
    <message>
        <source>Destinazione</source>
        <translation>Destination</translation>
    </message>
    <message>
        <source>Prot.</source>
        <translation>Prot.</translation>
    </message>
    <message>
        <source>Direzione</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Esito</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Azioni</source>
        <translation>Actions</translation>
    </message>
</context>
<context>
    <name>ostrale::RigaAggiornabile</name>
    <message>
        <source>Scarico…</source>
        <translation>Downloading…</translation>
    </message>
    <message>
        <source>Aggiorna adesso</source>
        <translation>Update now</translation>
    </message>
</context>
<context>
    <name>ostrale::RigaRegola</name>
    <message>
        <source>Accesa: la regola vale. Spenta: resta nell&apos;elenco ma non vale.</source>
        <translation>On: the rule applies. Off: it stays in the list but does not apply.</translation>
    </message>
    <message>
        <source>A orario</source>
        <translation>Scheduled</translation>
    </message>
    <message>
        <source>(fuori orario vale la politica predefinita)</source>
        <translation>(outside these hours the default policy applies)</translation>
    </message>
    <message>
        <source>Vale dal</source>
        <translation>Applies from</translation>
    </message>
    <message>
        <source>alle</source>
        <translation>to</translation>
    </message>
    <message>
        <source>Elimina la regola</source>
        <translation>Delete the rule</translation>
    </message>
    <message>
        <source>compresi i sottodomini</source>
        <translation>subdomains included</translation>
    </message>
    <message>
        <source>in scadenza</source>
        <translation>ending</translation>
    </message>
    <message numerus="yes">
        <source>ancora %n min</source>
        <translation>
            <numerusform>%n min left</numerusform>
            <numerusform>%n min left</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>ancora %n h</source>
        <translation>
            <numerusform>%n h left</numerusform>
            <numerusform>%n h left</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>ancora %n giorni</source>
        <translation>
            <numerusform>%n day left</numerusform>
            <numerusform>%n days left</numerusform>
        </translation>
    </message>
    <message>
        <source>fino al riavvio</source>
        <translation>until restart</translation>
    </message>
    <message>
        <source>Poi la regola sparisce da sola</source>
        <translation>Then the rule goes by itself</translation>
    </message>
    <message>
        <source>Rendi permanente</source>
        <translation>Make permanent</translation>
    </message>
    <message>
        <source>La regola resta finché non la togli</source>
        <translation>The rule stays until you remove it</translation>
    </message>
    <message>
        <source>solo per %1</source>
        <translation>only for %1</translation>
    </message>
    <message>
        <source>porta %1</source>
        <translation>port %1</translation>
    </message>
</context>
<context>
    <name>ostrale::SceltaAzione</name>
    <message>
        <source>Consenti</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation>Block</translation>
    </message>
</context>
<context>
    <name>ostrale::SelettoreLingua</name>
    <message>
        <source>Lingua dell&apos;interfaccia</source>
        <translation>Interface language</translation>
    </message>
    <message>
        <source>Come il sistema</source>
        <translation>Same as the system</translation>
    </message>
    <message>
        <source>Italiano o inglese; «Come il sistema» segue la lingua del computer</source>
        <translation>Italian or English; “Same as the system” follows the computer&apos;s language</translation>
    </message>
    <message>
        <source>La lingua cambia alla prossima apertura di Ostrale.</source>
        <translation>The language changes the next time Ostrale opens.</translation>
    </message>
    <message>
        <source>Riapri adesso</source>
        <translation>Reopen now</translation>
    </message>
</context>
<context>
    <name>ostrale::Spiegatore</name>
    <message>
        <source>Errore API (codice %1).</source>
        <comment>errore</comment>
        <translation>API error (code %1).</translation>
    </message>
    <message>
        <source>Risposta non leggibile o connessione fallita.</source>
        <comment>errore</comment>
        <translation>Unreadable answer or failed connection.</translation>
    </message>
    <message>
        <source>Chiave API non valida: controllala e riprova.</source>
        <comment>errore</comment>
        <translation>Invalid API key: check it and try again.</translation>
    </message>
    <message>
        <source>sì</source>
        <comment>tracker</comment>
        <translation>yes</translation>
    </message>
    <message>
        <source>no</source>
        <comment>tracker</comment>
        <translation>no</translation>
    </message>
    <message>
        <source>consentita</source>
        <comment>esito</comment>
        <translation>allowed</translation>
    </message>
    <message>
        <source>bloccata</source>
        <comment>esito</comment>
        <translation>blocked</translation>
    </message>
    <message>
        <source>Indirizzo del servizio non valido o non protetto (serve HTTPS).</source>
        <comment>errore</comment>
        <translation>Invalid or unprotected service address (HTTPS is required).</translation>
    </message>
</context>
<context>
    <name>ostrale::StatoApp</name>
    <message>
        <source>%1 — segnalato, non bloccato. Dettagli nella vista Attacchi.</source>
        <translation>%1 — reported, not blocked. Details in the Attacks view.</translation>
    </message>
    <message>
        <source>%1 — sorgente bloccata per 10 minuti. Dettagli nella vista Attacchi.</source>
        <translation>%1 — source blocked for 10 minutes. Details in the Attacks view.</translation>
    </message>
    <message>
        <source>Possibile attacco: %1</source>
        <translation>Possible attack: %1</translation>
    </message>
    <message>
        <source>Apri la vista Attacchi</source>
        <translation>Open the Attacks view</translation>
    </message>
    <message>
        <source>App che si sveglia</source>
        <translation>App waking up</translation>
    </message>
    <message>
        <source>%1 ha contattato una destinazione nuova: %2</source>
        <translation>%1 contacted a new destination: %2</translation>
    </message>
    <message>
        <source>Connessione sospesa: decidi tu</source>
        <translation>Connection on hold: your call</translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>Estensione non installata</source>
        <comment>stato</comment>
        <translation>Extension not installed</translation>
    </message>
    <message>
        <source>Installazione in corso…</source>
        <comment>stato</comment>
        <translation>Installing…</translation>
    </message>
    <message>
        <source>Da approvare: serve l&apos;autorizzazione dell&apos;amministratore</source>
        <comment>stato</comment>
        <translation>Awaiting approval: the administrator&apos;s authorisation is needed</translation>
    </message>
    <message>
        <source>Estensione installata</source>
        <comment>stato</comment>
        <translation>Extension installed</translation>
    </message>
    <message>
        <source>Attiva al prossimo riavvio</source>
        <comment>stato</comment>
        <translation>Active after the next restart</translation>
    </message>
    <message>
        <source>Stato sconosciuto</source>
        <comment>stato</comment>
        <translation>Unknown state</translation>
    </message>
    <message>
        <source>Errore: %1</source>
        <comment>stato</comment>
        <translation>Error: %1</translation>
    </message>
    <message>
        <source>Estensione attiva</source>
        <comment>stato</comment>
        <translation>Extension active</translation>
    </message>
    <message>
        <source>Un&apos;altra copia di Ostrale è già collegata all&apos;estensione</source>
        <comment>stato</comment>
        <translation>Another copy of Ostrale is already connected to the extension</translation>
    </message>
    <message>
        <source>Non autorizzato: aggiungi il tuo utente al gruppo ostrale</source>
        <comment>stato</comment>
        <translation>Not permitted: add yourself to group ostrale</translation>
    </message>
    <message>
        <source>Non avvisarmi più</source>
        <translation>Don&apos;t alert me again</translation>
    </message>
    <message>
        <source>Solo questa volta</source>
        <translation>Only this time</translation>
    </message>
</context>
<context>
    <name>ostrale::VistaAttacchi</name>
    <message>
        <source>I sedici schemi d&apos;attacco sorvegliati dalla sentinella. Il contatore è storico; click su un badge per vedere le fonti e decidere se permetterle o bloccarle.</source>
        <translation>The sixteen attack patterns the sentinel watches. The counter is historical; click a badge to see the sources and decide whether to allow or block them.</translation>
    </message>
    <message>
        <source>Le sorgenti bloccate restano ferme per 10 minuti; le regole esplicite che crei tu vincono comunque. Spegnibile dagli Interruttori.</source>
        <translation>Blocked sources stay stopped for 10 minutes; the explicit rules you make win anyway. It can be turned off in Switches.</translation>
    </message>
</context>
<context>
    <name>ostrale::VistaBarraMenu</name>
    <message>
        <source>Filtro</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Nessun flusso registrato</source>
        <translation>No flows recorded</translation>
    </message>
    <message>
        <source>Apri Ostrale</source>
        <translation>Open Ostrale</translation>
    </message>
    <message>
        <source>Esci</source>
        <translation>Quit</translation>
    </message>
</context>
<context>
    <name>ostrale::VistaFlussi</name>
    <message>
        <source>Solo bloccati</source>
        <translation>Blocked only</translation>
    </message>
    <message>
        <source>Cerca app o host</source>
        <translation>Search app or host</translation>
    </message>
    <message>
        <source>Nessun flusso registrato</source>
        <translation>No flows recorded</translation>
    </message>
    <message>
        <source>I flussi compariranno appena le app si collegano alla rete.</source>
        <translation>Flows will appear as soon as apps connect to the network.</translation>
    </message>
    <message>
        <source>Accendi il firewall dal Cruscotto per vedere i flussi.</source>
        <translation>Turn the firewall on from the Dashboard to see the flows.</translation>
    </message>
    <message>
        <source>Nessun flusso corrisponde</source>
        <translation>No flow matches</translation>
    </message>
    <message>
        <source>Cambia la ricerca o spegni «Solo bloccati».</source>
        <translation>Change the search or turn off “Blocked only”.</translation>
    </message>
    <message>
        <source>Cambia la ricerca.</source>
        <translation>Change the search.</translation>
    </message>
    <message>
        <source>Copia l&apos;app</source>
        <translation>Copy the app</translation>
    </message>
    <message>
        <source>Copia l&apos;host</source>
        <translation>Copy the host</translation>
    </message>
    <message>
        <source>Copia l&apos;indirizzo</source>
        <translation>Copy the address</translation>
    </message>
    <message>
        <source>Blocca questa app</source>
        <translation>Block this app</translation>
    </message>
    <message>
        <source>Consenti questa app</source>
        <translation>Allow this app</translation>
    </message>
    <message>
        <source>Blocca questo dominio ovunque</source>
        <translation>Block this domain everywhere</translation>
    </message>
</context>
<context>
    <name>ostrale::VistaInterruttori</name>
    <message>
        <source>Lingua</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Avvio e avvisi</source>
        <translation>Startup and alerts</translation>
    </message>
    <message>
        <source>Avvia Ostrale al login</source>
        <translation>Open Ostrale at login</translation>
    </message>
    <message>
        <source>Apre l&apos;app automaticamente all&apos;accensione del computer (il filtro comunque lavora anche ad app chiusa)</source>
        <translation>Opens the app automatically when the computer starts (the filter works even with the app closed)</translation>
    </message>
    <message>
        <source>L&apos;avvio automatico non è disponibile qui.</source>
        <translation>Launch at login is not available here.</translation>
    </message>
    <message>
        <source>Chiedi quando blocco per sicurezza</source>
        <translation>Ask when I block for security</translation>
    </message>
    <message>
        <source>Finestra di decisione quando un&apos;app viene bloccata dalla quarantena o dalla politica sulle sconosciute: continua a bloccare o consenti</source>
        <translation>A decision window when an app is blocked by quarantine or by the policy for unknown apps: keep blocking or allow</translation>
    </message>
    <message>
        <source>Filtro</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Ignora il traffico locale (LAN)</source>
        <translation>Ignore local traffic (LAN)</translation>
    </message>
    <message>
        <source>Le connessioni verso la tua rete (192.168.x, 10.x, multicast/Bonjour, Tailscale) passano senza controlli e non finiscono nei conteggi</source>
        <translation>Connections to your network (192.168.x, 10.x, multicast/Bonjour, Tailscale) pass unchecked and are not counted</translation>
    </message>
    <message>
        <source>Fidati dei processi di sistema</source>
        <translation>Trust system processes</translation>
    </message>
    <message>
        <source>Tutto ciò che sta nelle cartelle di sistema (/usr/lib/systemd, /usr/libexec, /usr/sbin) passa senza quarantena né politica sulle sconosciute; le tue regole e il blocco tracker valgono comunque</source>
        <translation>Everything in the system folders (/usr/lib/systemd, /usr/libexec, /usr/sbin) passes without quarantine or the unknown-apps policy; your rules and tracker blocking still apply</translation>
    </message>
    <message>
        <source>Blocca le app senza regola</source>
        <translation>Block apps without a rule</translation>
    </message>
    <message>
        <source>Le app nuove vengono bloccate finché non le consenti tu</source>
        <translation>New apps are blocked until you allow them</translation>
    </message>
    <message>
        <source>Filtra anche le connessioni in entrata</source>
        <translation>Filter incoming connections too</translation>
    </message>
    <message>
        <source>Esamina pure il traffico che arriva verso il computer</source>
        <translation>Also examines traffic coming into the computer</translation>
    </message>
    <message>
        <source>Registra i flussi consentiti</source>
        <translation>Log allowed flows</translation>
    </message>
    <message>
        <source>Se spento, nella vista Flussi compaiono solo quelli bloccati</source>
        <translation>When off, the Flows view shows only blocked ones</translation>
    </message>
    <message>
        <source>Protezioni</source>
        <translation>Protections</translation>
    </message>
    <message>
        <source>Rileva gli attacchi informatici</source>
        <translation>Detect cyber attacks</translation>
    </message>
    <message>
        <source>La sentinella riconosce %1 schemi d&apos;attacco (scansioni, forza bruta, tunnel DNS, beaconing, porte malfamate, flood UDP, domini contraffatti…): segnala nella vista Attacchi e blocca la sorgente per 10 minuti (le tue regole esplicite vincono)</source>
        <translation>The sentinel recognises %1 attack patterns (scans, brute force, DNS tunnels, beaconing, notorious ports, UDP floods, spoofed domains…): it reports them in the Attacks view and blocks the source for 10 minutes (your explicit rules win)</translation>
    </message>
    <message>
        <source>Sospendi e chiedi prima di bloccare</source>
        <translation>Hold and ask before blocking</translation>
    </message>
    <message>
        <source>La connessione sospetta resta ferma (fino a 60 secondi) finché non decidi tu. Accendendolo, Ostrale si mette anche in avvio automatico, così c&apos;è sempre</source>
        <translation>The suspicious connection waits (up to 60 seconds) until you decide. Turning this on also makes Ostrale open at login, so it is always there</translation>
    </message>
    <message>
        <source>Blocca i tracker e la pubblicità</source>
        <translation>Block trackers and ads</translation>
    </message>
    <message>
        <source>Quarantena per il software nuovo</source>
        <translation>Quarantine for new software</translation>
    </message>
    <message>
        <source>Avvisa quando un&apos;app si sveglia</source>
        <translation>Alert when an app wakes up</translation>
    </message>
    <message>
        <source>Notifica se un&apos;app conosciuta contatta una destinazione mai vista prima</source>
        <translation>Notifies you when a known app contacts a destination never seen before</translation>
    </message>
    <message>
        <source>Difese aggiornabili</source>
        <translation>Updatable defences</translation>
    </message>
    <message>
        <source>Indirizzi dei centri di comando (%1)</source>
        <translation>Command-and-control addresses (%1)</translation>
    </message>
    <message>
        <source>Database delle posizioni (DB-IP, a bordo)</source>
        <translation>Location database (DB-IP, built in)</translation>
    </message>
    <message>
        <source>Blocca in tutte le app le connessioni verso %1 domini pubblicitari e di tracciamento (le regole esplicite vincono)</source>
        <translation>Blocks connections from every app to %1 advertising and tracking domains (explicit rules win)</translation>
    </message>
    <message>
        <source>Le app mai viste prima restano bloccate per %1 giorni, finché non le promuovi dal Cruscotto</source>
        <translation>Apps never seen before stay blocked for %1 days, until you promote them from the Dashboard</translation>
    </message>
    <message>
        <source>Servizio non disponibile</source>
        <translation>Service not available</translation>
    </message>
    <message>
        <source>%1 indirizzi · aggiornata il %2 — si rinfresca da sola ogni giorno</source>
        <translation>%1 addresses · updated %2 — refreshes itself every day</translation>
    </message>
    <message>
        <source>%1 indirizzi (edizione a bordo) — si aggiorna da solo ogni giorno</source>
        <translation>%1 addresses (built-in edition) — updates itself every day</translation>
    </message>
    <message>
        <source>Edizione di %1 — si aggiorna da solo quando DB-IP ne pubblica una nuova (circa 60 MB da %2)</source>
        <translation>%1 edition — updates itself when DB-IP publishes a new one (about 60 MB from %2)</translation>
    </message>
    <message>
        <source>Database non caricato</source>
        <translation>Database not loaded</translation>
    </message>
</context>
<context>
    <name>ostrale::VistaPagella</name>
    <message>
        <source>%1 bloccati</source>
        <translation>%1 blocked</translation>
    </message>
    <message>
        <source>%1 anomalie</source>
        <translation>%1 anomalies</translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation>Block</translation>
    </message>
    <message>
        <source>Nessun dato ancora</source>
        <translation>No data yet</translation>
    </message>
    <message>
        <source>La pagella si riempie man mano che arrivano i flussi con il firewall acceso.</source>
        <translation>The report card fills up as flows arrive with the firewall on.</translation>
    </message>
    <message>
        <source>Voti sulla quota di connessioni verso domini tracker/pubblicità (lista locale, %1 domini), sull&apos;intero storico. A = pulita, D = più di metà tracker.</source>
        <translation>Grades on the share of connections to tracker/advertising domains (local list, %1 domains), over the whole history. A = clean, D = more than half trackers.</translation>
    </message>
    <message numerus="yes">
        <source>%n flussi</source>
        <translation>
            <numerusform>%n flow</numerusform>
            <numerusform>%n flows</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ostrale::VistaRegole</name>
    <message>
        <source>Per app</source>
        <translation>Per app</translation>
    </message>
    <message>
        <source>Nessuna regola</source>
        <translation>No rules</translation>
    </message>
    <message>
        <source>Crea regole dalla vista Flussi con i pulsanti Blocca e Consenti, oppure aggiungine una qui sotto.</source>
        <translation>Create rules from the Flows view with the Block and Allow buttons, or add one below.</translation>
    </message>
    <message>
        <source>Identificativo dell&apos;app (es. /usr/bin/curl)</source>
        <translation>App identity (e.g. /usr/bin/curl)</translation>
    </message>
    <message>
        <source>Aggiungi</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Dominio da regolare ovunque (es. example.com)</source>
        <translation>Domain to rule everywhere (e.g. example.com)</translation>
    </message>
    <message>
        <source>L&apos;inizio e la fine coincidono: la fascia sarebbe vuota. Scegli due orari diversi.</source>
        <translation>The start and the end are the same: the window would be empty. Choose two different times.</translation>
    </message>
    <message>
        <source>Esporta…</source>
        <translation>Export…</translation>
    </message>
    <message>
        <source>Salva regole e impostazioni in un file, da importare qui o su un altro computer</source>
        <translation>Save rules and settings in a file, to import here or on another computer</translation>
    </message>
    <message>
        <source>Importa…</source>
        <translation>Import…</translation>
    </message>
    <message>
        <source>Unisci le regole di un file esportato: prima vedi cosa cambia</source>
        <translation>Merge the rules of an exported file: you see what changes first</translation>
    </message>
    <message>
        <source>Esporta le regole</source>
        <translation>Export the rules</translation>
    </message>
    <message>
        <source>Importa regole</source>
        <translation>Import rules</translation>
    </message>
    <message>
        <source>Regole di Ostrale (*.json)</source>
        <translation>Ostrale rules (*.json)</translation>
    </message>
    <message numerus="yes">
        <source>Esportate %n regole in %1</source>
        <translation>
            <numerusform>Exported %n rule to %1</numerusform>
            <numerusform>Exported %n rules to %1</numerusform>
        </translation>
    </message>
    <message>
        <source>Esportazione non riuscita: %1 (%2)</source>
        <translation>Export failed: %1 (%2)</translation>
    </message>
    <message>
        <source>il file supera %1 MiB</source>
        <translation>the file is larger than %1 MiB</translation>
    </message>
    <message>
        <source>Il file non si può importare, nessuna regola cambiata: %1</source>
        <translation>The file cannot be imported, no rule changed: %1</translation>
    </message>
    <message>
        <source>Da %1</source>
        <translation>From %1</translation>
    </message>
    <message>
        <source>Rimuovi le regole che il file non ha</source>
        <translation>Remove the rules the file lacks</translation>
    </message>
    <message>
        <source>Importa</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Da aggiungere:</source>
        <translation>To add:</translation>
    </message>
    <message>
        <source>Da cambiare:</source>
        <translation>To change:</translation>
    </message>
    <message>
        <source>Da rimuovere:</source>
        <translation>To remove:</translation>
    </message>
    <message>
        <source>Le impostazioni diventano quelle del file.</source>
        <translation>The settings become the file&apos;s.</translation>
    </message>
    <message>
        <source>Niente da cambiare: le regole sono già quelle del file.</source>
        <translation>Nothing to change: the rules are already the file&apos;s.</translation>
    </message>
    <message>
        <source>Importate: %1 aggiunte, %2 cambiate, %3 rimosse</source>
        <translation>Imported: %1 added, %2 changed, %3 removed</translation>
    </message>
    <message>
        <source>Per dominio — in qualunque app, se la regola non ne nomina una</source>
        <translation>By domain — in any app, unless the rule names one</translation>
    </message>
</context>
<context>
    <name>ostrale::VistaSpiegazione</name>
    <message>
        <source>Spiegazione del flusso</source>
        <translation>Flow explanation</translation>
    </message>
    <message>
        <source>Chiudi</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>→ %1:%2 · %3 · %4</source>
        <translation>→ %1:%2 · %3 · %4</translation>
    </message>
    <message>
        <source>consentito</source>
        <comment>esito</comment>
        <translation>allowed</translation>
    </message>
    <message>
        <source>bloccato</source>
        <comment>esito</comment>
        <translation>blocked</translation>
    </message>
    <message>
        <source>Per le spiegazioni serve una chiave API Anthropic (una volta sola).</source>
        <translation>Explanations need an Anthropic API key (asked only once).</translation>
    </message>
    <message>
        <source>Salva e spiega</source>
        <translation>Save and explain</translation>
    </message>
    <message>
        <source>Chiedo a Claude…</source>
        <translation>Asking Claude…</translation>
    </message>
    <message>
        <source>Riprova</source>
        <translation>Try again</translation>
    </message>
</context>
<context>
    <name>ostrale::VistaStorico</name>
    <message>
        <source>Consentiti</source>
        <translation>Allowed</translation>
    </message>
    <message>
        <source>Bloccati</source>
        <translation>Blocked</translation>
    </message>
    <message>
        <source>Tracker</source>
        <translation>Trackers</translation>
    </message>
    <message>
        <source>Ora</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Flussi</source>
        <translation>Flows</translation>
    </message>
    <message>
        <source>Esito</source>
        <translation>Outcome</translation>
    </message>
    <message>
        <source>Ultime 24 ore</source>
        <translation>Last 24 hours</translation>
    </message>
    <message>
        <source>Tracker nelle ultime 24 ore</source>
        <translation>Trackers in the last 24 hours</translation>
    </message>
    <message>
        <source>Giorno</source>
        <translation>Day</translation>
    </message>
    <message>
        <source>Il grafico per giorno prende forma dopo un paio di giorni di utilizzo.</source>
        <translation>The daily chart takes shape after a couple of days of use.</translation>
    </message>
    <message>
        <source>Ultimi 30 giorni</source>
        <translation>Last 30 days</translation>
    </message>
    <message>
        <source>Lo storico è scritto dall&apos;estensione e conserva 60 giorni di dati aggregati per ora; conta tutti i flussi esaminati, anche col cruscotto chiuso ma con il firewall acceso.</source>
        <translation>The history is written by the extension and keeps 60 days of data aggregated by hour; it counts every flow examined, even with the dashboard closed, as long as the firewall is on.</translation>
    </message>
</context>
<context>
    <name>ostrale::mappa</name>
    <message>
        <source>La regola vale ovunque per %1, sottodomini compresi</source>
        <comment>mappa</comment>
        <translation>The rule applies everywhere to %1, subdomains included</translation>
    </message>
    <message>
        <source>Tutte</source>
        <translation>All</translation>
    </message>
    <message>
        <source>In uscita</source>
        <translation>Outgoing</translation>
    </message>
    <message>
        <source>In entrata</source>
        <translation>Incoming</translation>
    </message>
    <message>
        <source>… e altri %1. Click per l&apos;elenco.</source>
        <comment>mappa</comment>
        <translation>… and %1 more. Click for the list.</translation>
    </message>
    <message>
        <source>Click per i dettagli.</source>
        <comment>mappa</comment>
        <translation>Click for details.</translation>
    </message>
    <message>
        <source>Il mio computer</source>
        <comment>mappa</comment>
        <translation>My computer</translation>
    </message>
    <message>
        <source>Il mio computer (%1)</source>
        <comment>mappa</comment>
        <translation>My computer (%1)</translation>
    </message>
</context>
<context>
    <name>ostrale::mappa::DettaglioPunto</name>
    <message>
        <source>%1 flussi · %2 bloccati</source>
        <translation>%1 flows · %2 blocked</translation>
    </message>
    <message>
        <source>Chiudi</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>IP</source>
        <translation>IP</translation>
    </message>
    <message>
        <source>App</source>
        <translation>App</translation>
    </message>
    <message>
        <source>Flussi</source>
        <translation>Flows</translation>
    </message>
    <message>
        <source>Regola</source>
        <translation>Rule</translation>
    </message>
    <message>
        <source>(%1 bloccati)</source>
        <translation>(%1 blocked)</translation>
    </message>
    <message>
        <source>Consenti</source>
        <translation>Allow</translation>
    </message>
    <message>
        <source>Blocca</source>
        <translation>Block</translation>
    </message>
</context>
<context>
    <name>ostrale::mappa::VistaMappa</name>
    <message>
        <source>Direzione</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Allontana</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>Avvicina</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>Vista iniziale</source>
        <translation>Initial view</translation>
    </message>
    <message>
        <source>Consentiti</source>
        <translation>Allowed</translation>
    </message>
    <message>
        <source>Misti</source>
        <translation>Mixed</translation>
    </message>
    <message>
        <source>Bloccati</source>
        <translation>Blocked</translation>
    </message>
    <message>
        <source>Geolocalizzazione locale — database DB-IP a bordo, nessun dato esce dal computer</source>
        <translation>Local geolocation — DB-IP database on board, no data leaves the computer</translation>
    </message>
    <message>
        <source>Nessuna destinazione ancora</source>
        <translation>No destinations yet</translation>
    </message>
    <message>
        <source>Con il firewall acceso, le destinazioni dei flussi compaiono sulla mappa man mano che vengono geolocalizzate.</source>
        <translation>With the firewall on, the flows&apos; destinations appear on the map as they are geolocated.</translation>
    </message>
    <message numerus="yes">
        <source>%n indirizzi in attesa di posizione…</source>
        <translation>
            <numerusform>%n address waiting for a position…</numerusform>
            <numerusform>%n addresses waiting for a position…</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ostrale::testi</name>
    <message>
        <source>attacco_scansione</source>
        <comment>attacco</comment>
        <translation>Port scan</translation>
    </message>
    <message>
        <source>spiega_scansione</source>
        <comment>attacco</comment>
        <translation>Someone knocks on many of the computer&apos;s ports in a short time to find out which services are listening: usually the first step before an attack.</translation>
    </message>
    <message>
        <source>attacco_forza_bruta</source>
        <comment>attacco</comment>
        <translation>Brute force</translation>
    </message>
    <message>
        <source>spiega_forza_bruta</source>
        <comment>attacco</comment>
        <translation>Repeated login attempts on the same service (SSH, remote desktop, mail…) from one source: someone is trying one password after another.</translation>
    </message>
    <message>
        <source>attacco_raffica</source>
        <comment>attacco</comment>
        <translation>Connection burst</translation>
    </message>
    <message>
        <source>spiega_raffica</source>
        <comment>attacco</comment>
        <translation>An app opens a huge number of connections within seconds, far more than usual: a runaway program, or malware spreading or attacking others.</translation>
    </message>
    <message>
        <source>attacco_tunnel_dns</source>
        <comment>attacco</comment>
        <translation>DNS tunnel</translation>
    </message>
    <message>
        <source>spiega_tunnel_dns</source>
        <comment>attacco</comment>
        <translation>DNS queries with long, random-looking names under one domain: a way to smuggle data out inside DNS traffic.</translation>
    </message>
    <message>
        <source>attacco_beaconing</source>
        <comment>attacco</comment>
        <translation>Beaconing</translation>
    </message>
    <message>
        <source>spiega_beaconing</source>
        <comment>attacco</comment>
        <translation>An app contacts the same address at clockwork intervals: the way malware checks in with its command server.</translation>
    </message>
    <message>
        <source>attacco_domini_sospetti</source>
        <comment>attacco</comment>
        <translation>Suspicious domains</translation>
    </message>
    <message>
        <source>spiega_domini_sospetti</source>
        <comment>attacco</comment>
        <translation>An app looks up many random-looking domain names: malware generates them to find its server even after some are taken down.</translation>
    </message>
    <message>
        <source>attacco_scansione_uscita</source>
        <comment>attacco</comment>
        <translation>Outbound scan</translation>
    </message>
    <message>
        <source>spiega_scansione_uscita</source>
        <comment>attacco</comment>
        <translation>An app on this computer probes many ports or addresses of other machines: something here is exploring the network.</translation>
    </message>
    <message>
        <source>attacco_porta_malfamata</source>
        <comment>attacco</comment>
        <translation>Notorious port</translation>
    </message>
    <message>
        <source>spiega_porta_malfamata</source>
        <comment>attacco</comment>
        <translation>A connection uses a port known for backdoors, trojans or services that should never be exposed.</translation>
    </message>
    <message>
        <source>attacco_flood_udp</source>
        <comment>attacco</comment>
        <translation>UDP flood</translation>
    </message>
    <message>
        <source>spiega_flood_udp</source>
        <comment>attacco</comment>
        <translation>An avalanche of UDP packets from one source or to one destination: an attempt to swamp the network or a service.</translation>
    </message>
    <message>
        <source>attacco_dominio_contraffatto</source>
        <comment>attacco</comment>
        <translation>Look-alike domain</translation>
    </message>
    <message>
        <source>spiega_dominio_contraffatto</source>
        <comment>attacco</comment>
        <translation>A name that mimics a well-known service with swapped or look-alike letters: the classic phishing trick.</translation>
    </message>
    <message>
        <source>attacco_ip_diretto</source>
        <comment>attacco</comment>
        <translation>Direct address</translation>
    </message>
    <message>
        <source>spiega_ip_diretto</source>
        <comment>attacco</comment>
        <translation>An app connects to a numeric address without ever looking up a name: ordinary programs use names, malware often does not.</translation>
    </message>
    <message>
        <source>attacco_c2_noto</source>
        <comment>attacco</comment>
        <translation>Known command server</translation>
    </message>
    <message>
        <source>spiega_c2_noto</source>
        <comment>attacco</comment>
        <translation>The destination is on the public lists of servers that control malware and botnets: a connection there is almost always a bad sign.</translation>
    </message>
    <message>
        <source>attacco_canale_persistente</source>
        <comment>attacco</comment>
        <translation>Persistent channel</translation>
    </message>
    <message>
        <source>spiega_canale_persistente</source>
        <comment>attacco</comment>
        <translation>A connection stays open for a long time to an unusual destination: it may be a remote-control channel.</translation>
    </message>
    <message>
        <source>attacco_esfiltrazione_lenta</source>
        <comment>attacco</comment>
        <translation>Slow exfiltration</translation>
    </message>
    <message>
        <source>spiega_esfiltrazione_lenta</source>
        <comment>attacco</comment>
        <translation>Small amounts of data leave for the same destination, a little at a time over a long period: a way to carry data off unnoticed.</translation>
    </message>
    <message>
        <source>attacco_protocollo_anomalo</source>
        <comment>attacco</comment>
        <translation>Unusual protocol</translation>
    </message>
    <message>
        <source>spiega_protocollo_anomalo</source>
        <comment>attacco</comment>
        <translation>Traffic with a protocol, or on a port, that does not match what the app usually does.</translation>
    </message>
    <message>
        <source>attacco_laterale_lan</source>
        <comment>attacco</comment>
        <translation>Lateral movement on the LAN</translation>
    </message>
    <message>
        <source>spiega_laterale_lan</source>
        <comment>attacco</comment>
        <translation>A device on the local network tries to get into other devices on the same network: this is how an infection moves from one computer to the next.</translation>
    </message>
    <message>
        <source>è in quarantena (software nuovo)</source>
        <translation>is in quarantine (new software)</translation>
    </message>
    <message>
        <source>non ha una regola e la politica blocca le app sconosciute</source>
        <translation>has no rule, and the policy blocks unknown apps</translation>
    </message>
    <message>
        <source>corpo_avviso_blocco</source>
        <translation>Ostrale blocked %1 while it was connecting to %2 on port %3: the app %4.

Keep blocking it, or let it connect from now on. Your choice becomes a rule for the app.</translation>
    </message>
    <message>
        <source>corpo_avviso_sospeso</source>
        <translation>%1 wants to connect to %2 on port %3, but the app %4.

The connection is on hold until you decide, for 60 seconds at most. Your answer holds for as long and for where you choose.</translation>
    </message>
    <message>
        <source>prompt_spiegami</source>
        <comment>prompt AI</comment>
        <translation>In a few plain sentences, without jargon, explain what this network flow does and whether there is any reason to worry.

Application: %1
Destination: %2
Port: %3
Protocol: %4
Direction: %5
Known tracker: %6
Outcome: %7</translation>
    </message>
    <message>
        <source>Regole aggiornate</source>
        <translation>Rules updated</translation>
    </message>
    <message>
        <source>Niente da cambiare</source>
        <translation>Nothing to change</translation>
    </message>
    <message>
        <source>Una regola per app richiede l&apos;identità dell&apos;app</source>
        <translation>An application rule needs the application&apos;s identity</translation>
    </message>
    <message>
        <source>L&apos;app non è identificata: nessuna regola può nominarla</source>
        <translation>The application is not identified: no rule can name it</translation>
    </message>
    <message>
        <source>Non è un dominio (serve un punto e almeno 4 caratteri) né un indirizzo</source>
        <translation>Neither a domain (it needs a dot and at least 4 characters) nor an address</translation>
    </message>
    <message>
        <source>La regola non esiste più</source>
        <translation>The rule no longer exists</translation>
    </message>
    <message>
        <source>Una fascia oraria va dal minuto 0 al minuto 1440 del giorno</source>
        <translation>A time window runs from minute 0 to minute 1440 of the day</translation>
    </message>
    <message>
        <source>Le regole per dominio non hanno fascia oraria</source>
        <translation>Domain rules have no time window</translation>
    </message>
    <message>
        <source>I giorni di quarantena vanno da 0 a 3650</source>
        <translation>Quarantine days go from 0 to 3650</translation>
    </message>
    <message>
        <source>Modifica incompleta</source>
        <translation>Incomplete edit</translation>
    </message>
    <message>
        <source>Il file delle regole non si può scrivere: nulla è cambiato</source>
        <translation>The rules file cannot be written: nothing changed</translation>
    </message>
    <message>
        <source>L&apos;estensione non ha risposto</source>
        <translation>The extension did not answer</translation>
    </message>
    <message>
        <source>Entrata</source>
        <comment>direzione flusso</comment>
        <translation>Inbound</translation>
    </message>
    <message>
        <source>Uscita</source>
        <comment>direzione flusso</comment>
        <translation>Outbound</translation>
    </message>
    <message>
        <source>Deciso da una regola</source>
        <comment>motivo</comment>
        <translation>Decided by a rule</translation>
    </message>
    <message>
        <source>Deciso dalla politica predefinita</source>
        <comment>motivo</comment>
        <translation>Decided by the default policy</translation>
    </message>
    <message>
        <source>Bloccato dalla quarantena del software nuovo</source>
        <comment>motivo</comment>
        <translation>Blocked by the new-software quarantine</translation>
    </message>
    <message>
        <source>Deciso da una regola a fascia oraria</source>
        <comment>motivo</comment>
        <translation>Decided by a scheduled rule</translation>
    </message>
    <message>
        <source>Bloccato dalla lista tracker/pubblicità</source>
        <comment>motivo</comment>
        <translation>Blocked by the tracker/advertising list</translation>
    </message>
    <message>
        <source>Deciso da una regola di dominio</source>
        <comment>motivo</comment>
        <translation>Decided by a domain rule</translation>
    </message>
    <message>
        <source>Consentito: processo di sistema fidato</source>
        <comment>motivo</comment>
        <translation>Allowed: trusted system process</translation>
    </message>
    <message>
        <source>Bloccato dalla sentinella: sorgente di un attacco riconosciuto</source>
        <comment>motivo</comment>
        <translation>Blocked by the sentinel: source of a recognised attack</translation>
    </message>
    <message>
        <source>Solo questa volta</source>
        <translation>Only this time</translation>
    </message>
    <message>
        <source>15 minuti</source>
        <translation>15 minutes</translation>
    </message>
    <message>
        <source>1 ora</source>
        <translation>1 hour</translation>
    </message>
    <message>
        <source>12 ore</source>
        <translation>12 hours</translation>
    </message>
    <message>
        <source>Fino al riavvio</source>
        <translation>Until restart</translation>
    </message>
    <message>
        <source>Per sempre</source>
        <translation>Forever</translation>
    </message>
    <message>
        <source>Tutta l&apos;app</source>
        <translation>The whole app</translation>
    </message>
    <message>
        <source>Solo verso %1</source>
        <translation>Only to %1</translation>
    </message>
    <message>
        <source>Solo verso %1, porta %2</source>
        <translation>Only to %1, port %2</translation>
    </message>
    <message>
        <source>solo questa volta</source>
        <comment>vale</comment>
        <translation>only this time</translation>
    </message>
    <message>
        <source>per 15 minuti</source>
        <comment>vale</comment>
        <translation>for 15 minutes</translation>
    </message>
    <message>
        <source>per 1 ora</source>
        <comment>vale</comment>
        <translation>for 1 hour</translation>
    </message>
    <message>
        <source>per 12 ore</source>
        <comment>vale</comment>
        <translation>for 12 hours</translation>
    </message>
    <message>
        <source>fino al riavvio</source>
        <comment>vale</comment>
        <translation>until restart</translation>
    </message>
    <message>
        <source>per sempre</source>
        <comment>vale</comment>
        <translation>forever</translation>
    </message>
    <message>
        <source>per tutta l&apos;app</source>
        <comment>vale</comment>
        <translation>for the whole app</translation>
    </message>
    <message>
        <source>solo verso %1</source>
        <comment>vale</comment>
        <translation>only to %1</translation>
    </message>
    <message>
        <source>solo verso %1, porta %2</source>
        <comment>vale</comment>
        <translation>only to %1, port %2</translation>
    </message>
    <message>
        <source>Vale %1, %2</source>
        <extracomment>%1: how long (&quot;per 1 ora&quot;), %2: for what (&quot;solo verso example.com&quot;)</extracomment>
        <translation>Applies %1, %2</translation>
    </message>
    <message>
        <source>Una porta è un numero da 1 a 65535</source>
        <translation>A port is a number from 1 to 65535</translation>
    </message>
</context>
</TS>
