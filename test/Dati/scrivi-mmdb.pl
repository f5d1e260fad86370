#!/usr/bin/perl
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the test city databases with MaxMind's own writer, in the two layouts the app reads:
# DB-IP's nested records (one file for both families, record sizes 24, 28 and 32, plus an IPv4
# tree) and the flat records of the npm edition (a file per family).
# Usage: scrivi-mmdb.pl DIRECTORY
use strict;
use warnings;
use MaxMind::DB::Writer::Tree;

my $cartella = shift or die "usage: $0 DIRECTORY\n";

my %tipi = (
    city => 'map', country => 'map', location => 'map', names => 'map',
    it => 'utf8_string', en => 'utf8_string', de => 'utf8_string', iso_code => 'utf8_string',
    latitude => 'double', longitude => 'double', accuracy_radius => 'uint16',
    geoname_id => 'uint32', continent => 'map', code => 'utf8_string', subdivisions => ['array', 'map'],
);
my %piatti = (
    city => 'utf8_string', country_code => 'utf8_string', state1 => 'utf8_string',
    state2 => 'utf8_string', postcode => 'utf8_string', timezone => 'utf8_string',
    latitude => 'float', longitude => 'float',
);

sub nome { my ($it, $en) = @_; my %n; $n{it} = $it if defined $it; $n{en} = $en if defined $en; $n{de} = 'X'; return \%n; }

# Nested records: address → record.
my @annidati = (
    ['81.2.69.0/24', { city => { names => nome('Roma', 'Rome'), geoname_id => 3169070 },
                       country => { names => nome('Italia', 'Italy'), iso_code => 'IT' },
                       continent => { code => 'EU', names => nome('Europa', 'Europe') },
                       location => { latitude => 41.8919, longitude => 12.5113, accuracy_radius => 50 },
                       subdivisions => [ { iso_code => '62', names => nome('Lazio', 'Latium') } ] }],
    ['8.8.8.0/24', { city => { geoname_id => 5375480 },
                     country => { names => nome(undef, 'United States'), iso_code => 'US' },
                     location => { latitude => 37.386, longitude => -122.0838 } }],
    ['1.1.1.0/24', { city => { names => nome(undef, 'Sydney') },
                     country => { iso_code => 'AU' },
                     location => { latitude => -33.8688, longitude => 151.209 } }],
    ['5.5.5.0/24', { country => { geoname_id => 1 },
                     location => { latitude => 10.5, longitude => 20.25 } }],
    ['9.9.9.0/24', { city => { names => nome('Zurigo', 'Zurich') },
                     country => { names => nome('Svizzera', 'Switzerland') },
                     location => { latitude => 47.37 } }],
    ['2001:db8:1::/48', { city => { names => nome('Berlino', 'Berlin') },
                          country => { names => nome('Germania', 'Germany'), iso_code => 'DE' },
                          location => { latitude => 52.52, longitude => 13.405 } }],
);

sub scrivi {
    my ($nome, %opzioni) = @_;
    my $voci = delete $opzioni{voci};
    my $tipiUsati = delete $opzioni{tipi};
    my $albero = MaxMind::DB::Writer::Tree->new(
        database_type => 'Ostrale-Test-City',
        languages => ['en', 'it'],
        description => { en => 'Ostrale test database' },
        map_key_type_callback => sub { $tipiUsati->{ $_[0] } // die "no type for $_[0]" },
        remove_reserved_networks => 0,
        %opzioni,
    );
    $albero->insert_network(@$_) for @$voci;
    open(my $fh, '>:raw', "$cartella/$nome") or die "$nome: $!";
    $albero->write_tree($fh);
    close $fh;
}

for my $bit (24, 28, 32) {
    scrivi("annidato-$bit.mmdb", voci => \@annidati, tipi => \%tipi, ip_version => 6,
           record_size => $bit);
}
scrivi('annidato-v4.mmdb', voci => [grep { $_->[0] !~ /:/ } @annidati], tipi => \%tipi,
       ip_version => 4, record_size => 24);

my @piatti4 = (
    ['81.2.69.0/24', { city => 'Roma', country_code => 'IT', state1 => 'Lazio', state2 => '',
                       postcode => '', timezone => '', latitude => 41.8919, longitude => 12.5113 }],
    ['8.8.8.0/24', { city => '', country_code => 'US', latitude => 37.386, longitude => -122.0838 }],
    ['9.9.9.0/24', { city => 'Zurich', country_code => 'CH', latitude => 47.37 }],
);
my @piatti6 = (
    ['2001:db8:1::/48', { city => 'Berlin', country_code => 'DE', latitude => 52.52,
                          longitude => 13.405 }],
);
scrivi('piatto-ipv4.mmdb', voci => \@piatti4, tipi => \%piatti, ip_version => 4, record_size => 24);
scrivi('piatto-ipv6.mmdb', voci => \@piatti6, tipi => \%piatti, ip_version => 6, record_size => 24);

# The documentation ranges the simulated machine talks to, placed (tests of the app beside it).
scrivi('documentazione.mmdb', tipi => \%tipi, ip_version => 6, record_size => 28, voci => [
    ['192.0.2.0/24', { city => { names => nome('Roma', 'Rome') },
                       country => { names => nome('Italia', 'Italy'), iso_code => 'IT' },
                       location => { latitude => 41.89, longitude => 12.51 } }],
    ['198.51.100.0/24', { city => { names => nome('Francoforte', 'Frankfurt') },
                          country => { names => nome('Germania', 'Germany'), iso_code => 'DE' },
                          location => { latitude => 50.11, longitude => 8.68 } }],
    ['203.0.113.0/24', { city => { names => nome(undef, 'Ashburn') },
                         country => { names => nome('Stati Uniti', 'United States') },
                         location => { latitude => 39.04, longitude => -77.49 } }],
]);
