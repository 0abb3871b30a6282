#pragma once

#include <map>
#include <string>

// What libpq will use to reach the server, as far as the link's security goes: the URL's own
// keys first, then its service file's section, then the PG* environment.
struct LinkSettings {
    std::string host;         // hosts, a comma between each
    std::string hostaddr;     // their addresses, likewise
    std::string sslmode;      // empty when none was named anywhere
    std::string sslrootcert;  // empty when none was named anywhere
};

// The section named `service` of a pg_service file (the INI format libpq reads); empty when
// the file or the section is missing. `found` says whether the section was there.
std::map<std::string, std::string> ServiceSection(const std::string& file,
                                                  const std::string& service, bool& found);

// The settings in effect for a URL whose keys are `given`, looking up its service (service=,
// or PGSERVICE) in PGSERVICEFILE or ~/.pg_service.conf, then PGSYSCONFDIR/pg_service.conf.
LinkSettings EffectiveLinkSettings(const std::map<std::string, std::string>& given);

// The host that puts the server on the network, as a warning names it: the first address
// that is not loopback, or else the first host that is neither a socket's folder nor this
// host's name; empty for a server on this host.
std::string NetworkHost(const LinkSettings& link);

// An IP address of this host's loopback (127.0.0.0/8, ::1).
bool LoopbackAddress(const std::string& address);
