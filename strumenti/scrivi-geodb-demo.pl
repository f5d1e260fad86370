#!/usr/bin/perl
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the demonstration's city database with MaxMind's writer: the documentation ranges the
# simulated desktop talks to (192.0.2.0/24, 198.51.100.0/24, 203.0.113.0/24, 2001:db8::/32), which
# no real database places, spread over real cities on six continents, in DB-IP City Lite's record
# layout (one file for both families, IPv4 under ::/96, record size 24). Only `make demo` uses it,
# through GEODB_PERCORSO; the app's own database stays DB-IP's everywhere else.
# Each /24 is cut into /27s, one city each, and the fixed addresses of the scenario's episodes get
# cities of their own, so the attack sources, the command-and-control server and the steady
# companions each show up as a separate point.
# Usage: scrivi-geodb-demo.pl FILE    (written beside it, then renamed: never half a file)
use strict;
use warnings;
use utf8;
use MaxMind::DB::Writer::Tree;

my $uscita = shift or die "usage: $0 FILE\n";

# Continents: code → [Italian, English].
my %continenti = (
    AF => ['Africa', 'Africa'], AS => ['Asia', 'Asia'], EU => ['Europa', 'Europe'],
    NA => ['Nord America', 'North America'], OC => ['Oceania', 'Oceania'],
    SA => ['Sud America', 'South America'],
);
# Countries: ISO code → [Italian, English, continent, in the European Union].
my %paesi = (
    AE => ['Emirati Arabi Uniti', 'United Arab Emirates', 'AS', 0],
    AU => ['Australia', 'Australia', 'OC', 0],
    BR => ['Brasile', 'Brazil', 'SA', 0],
    CA => ['Canada', 'Canada', 'NA', 0],
    CL => ['Cile', 'Chile', 'SA', 0],
    DE => ['Germania', 'Germany', 'EU', 1],
    ES => ['Spagna', 'Spain', 'EU', 1],
    FR => ['Francia', 'France', 'EU', 1],
    GB => ['Regno Unito', 'United Kingdom', 'EU', 0],
    IN => ['India', 'India', 'AS', 0],
    IT => ['Italia', 'Italy', 'EU', 1],
    JP => ['Giappone', 'Japan', 'AS', 0],
    KE => ['Kenya', 'Kenya', 'AF', 0],
    KR => ['Corea del Sud', 'South Korea', 'AS', 0],
    NL => ['Paesi Bassi', 'Netherlands', 'EU', 1],
    PL => ['Polonia', 'Poland', 'EU', 1],
    SE => ['Svezia', 'Sweden', 'EU', 1],
    SG => ['Singapore', 'Singapore', 'AS', 0],
    US => ['Stati Uniti', 'United States', 'NA', 0],
    ZA => ['Sudafrica', 'South Africa', 'AF', 0],
);
# Cities: key → [Italian, English, country, region (English), latitude, longitude].
my %citta = (
    ashburn      => ['Ashburn', 'Ashburn', 'US', 'Virginia', 39.0438, -77.4874],
    amsterdam    => ['Amsterdam', 'Amsterdam', 'NL', 'North Holland', 52.3676, 4.9041],
    dallas       => ['Dallas', 'Dallas', 'US', 'Texas', 32.7767, -96.7970],
    dubai        => ['Dubai', 'Dubai', 'AE', 'Dubai', 25.2048, 55.2708],
    francoforte  => ['Francoforte', 'Frankfurt am Main', 'DE', 'Hesse', 50.1109, 8.6821],
    johannesburg => ['Johannesburg', 'Johannesburg', 'ZA', 'Gauteng', -26.2041, 28.0473],
    londra       => ['Londra', 'London', 'GB', 'England', 51.5074, -0.1278],
    madrid       => ['Madrid', 'Madrid', 'ES', 'Madrid', 40.4168, -3.7038],
    milano       => ['Milano', 'Milan', 'IT', 'Lombardy', 45.4642, 9.1900],
    mumbai       => ['Mumbai', 'Mumbai', 'IN', 'Maharashtra', 19.0760, 72.8777],
    nairobi      => ['Nairobi', 'Nairobi', 'KE', 'Nairobi County', -1.2921, 36.8219],
    parigi       => ['Parigi', 'Paris', 'FR', 'Île-de-France', 48.8566, 2.3522],
    sanfrancisco => ['San Francisco', 'San Francisco', 'US', 'California', 37.7749, -122.4194],
    sanpaolo     => ['San Paolo', 'São Paulo', 'BR', 'São Paulo', -23.5505, -46.6333],
    santiago     => ['Santiago del Cile', 'Santiago', 'CL', 'Santiago Metropolitan', -33.4489,
                     -70.6693],
    seul         => ['Seul', 'Seoul', 'KR', 'Seoul', 37.5665, 126.9780],
    singapore    => ['Singapore', 'Singapore', 'SG', 'Singapore', 1.3521, 103.8198],
    stoccolma    => ['Stoccolma', 'Stockholm', 'SE', 'Stockholm County', 59.3293, 18.0686],
    sydney       => ['Sydney', 'Sydney', 'AU', 'New South Wales', -33.8688, 151.2093],
    tokyo        => ['Tokyo', 'Tokyo', 'JP', 'Tokyo', 35.6762, 139.6503],
    toronto      => ['Toronto', 'Toronto', 'CA', 'Ontario', 43.6532, -79.3832],
    varsavia     => ['Varsavia', 'Warsaw', 'PL', 'Mazovia', 52.2297, 21.0122],
);

# The /27s of each /24, in order.
my %blocchi = (
    '192.0.2.'    => [qw(londra francoforte amsterdam ashburn tokyo parigi sanpaolo sydney)],
    '198.51.100.' => [qw(milano singapore sanfrancisco mumbai toronto madrid johannesburg dallas)],
    '203.0.113.'  => [qw(seul parigi nairobi mumbai dubai francoforte ashburn sanfrancisco)],
);
# The fixed addresses of the scenario's episodes, each apart from its /27's city and the others.
my @propri = (
    ['198.51.100.21/32', 'sanfrancisco'],   # the telemetry beacon
    ['198.51.100.22/32', 'londra'],         # the sync service
    ['198.51.100.23/32', 'varsavia'],       # the slow upload
    ['198.51.100.44/32', 'santiago'],       # the reverse shell
    ['198.51.100.45/32', 'dallas'],         # the flood's target
    ['198.51.100.60/30', 'johannesburg'],   # the hidden updater's servers
    ['198.51.100.77/32', 'seul'],           # the port scan's source
    ['198.51.100.78/32', 'sanpaolo'],       # the password guesser
    ['203.0.113.55/32', 'amsterdam'],       # the look-alike name
    ['203.0.113.66/32', 'dubai'],           # the command-and-control server
    ['203.0.113.80/32', 'stoccolma'],       # the music service
    ['203.0.113.90/32', 'toronto'],         # the never-seen editor's server
    ['203.0.113.96/29', 'singapore'],       # the hosts scanned from this machine, in two places
    ['203.0.113.104/29', 'sydney'],
);
# The IPv6 documentation prefix, in quarters.
my @ipv6 = (
    ['2001:db8::/34', 'francoforte'], ['2001:db8:4000::/34', 'ashburn'],
    ['2001:db8:8000::/34', 'tokyo'], ['2001:db8:c000::/34', 'sanpaolo'],
);

sub nomi { return { it => $_[0], en => $_[1] }; }

sub record {
    my ($chiave) = @_;
    my $c = $citta{$chiave} or die "no city $chiave\n";
    my ($it, $en, $iso, $regione, $lat, $lon) = @$c;
    my ($paeseIt, $paeseEn, $continente, $ue) = @{ $paesi{$iso} or die "no country $iso\n" };
    return {
        city => { names => nomi($it, $en) },
        continent => { code => $continente, names => nomi(@{ $continenti{$continente} }) },
        country => { iso_code => $iso, is_in_european_union => $ue,
                     names => nomi($paeseIt, $paeseEn) },
        location => { latitude => $lat, longitude => $lon },
        subdivisions => [ { names => { en => $regione } } ],
    };
}

my %tipi = (
    city => 'map', continent => 'map', country => 'map', location => 'map', names => 'map',
    subdivisions => ['array', 'map'], code => 'utf8_string', iso_code => 'utf8_string',
    is_in_european_union => 'boolean', it => 'utf8_string', en => 'utf8_string',
    latitude => 'double', longitude => 'double',
);
my $albero = MaxMind::DB::Writer::Tree->new(
    database_type => 'Ostrale-Demo-City',
    languages => ['it', 'en'],
    description => {
        en => 'Ostrale demonstration city database: documentation ranges only',
        it => 'Database di città della dimostrazione di Ostrale: solo indirizzi di documentazione',
    },
    ip_version => 6,
    record_size => 24,
    remove_reserved_networks => 0,
    map_key_type_callback => sub { $tipi{ $_[0] } // die "no type for $_[0]\n" },
);
for my $rete (sort keys %blocchi) {
    my $i = 0;
    $albero->insert_network($rete . 32 * $i++ . '/27', record($_)) for @{ $blocchi{$rete} };
}
# Later insertions take their addresses over from the /27 that holds them.
$albero->insert_network($_->[0], record($_->[1])) for @propri, @ipv6;

my $provvisorio = "$uscita.nuovo";
open(my $fh, '>:raw', $provvisorio) or die "$provvisorio: $!\n";
$albero->write_tree($fh);
close $fh or die "$provvisorio: $!\n";
rename $provvisorio, $uscita or die "$uscita: $!\n";
