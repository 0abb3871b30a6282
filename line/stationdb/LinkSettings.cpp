#include "stationdb/LinkSettings.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include <arpa/inet.h>

namespace {

// The folder libpq looks in for the system's service file when PGSYSCONFDIR is not set.
constexpr const char* kSystemConfigDir = "/etc/postgresql-common";

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::string Environment(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr ? value : "";
}

// The entries of a comma-separated list, empty ones left out.
template <typename Each>
bool AnyEntry(const std::string& list, Each each) {
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(',', start), list.size());
        const std::string entry = Trimmed(list.substr(start, end - start));
        if (!entry.empty() && each(entry)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

// The user's service file's section, or else the system's.
std::map<std::string, std::string> ServiceSettings(const std::string& service) {
    std::string userFile = Environment("PGSERVICEFILE");
    if (userFile.empty() && !Environment("HOME").empty()) {
        userFile = Environment("HOME") + "/.pg_service.conf";
    }
    bool found = false;
    std::map<std::string, std::string> section = ServiceSection(userFile, service, found);
    if (found) {
        return section;
    }
    std::string systemDir = Environment("PGSYSCONFDIR");
    return ServiceSection((systemDir.empty() ? kSystemConfigDir : systemDir) + "/pg_service.conf",
                          service, found);
}

}  // namespace

std::map<std::string, std::string> ServiceSection(const std::string& file,
                                                  const std::string& service, bool& found) {
    std::map<std::string, std::string> section;
    found = false;
    std::ifstream in(file);
    bool inside = false;
    for (std::string line; !service.empty() && std::getline(in, line);) {
        line = Trimmed(line);
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            if (inside) {
                break;
            }
            inside = line == "[" + service + "]";
            found = found || inside;
        } else if (const std::size_t equals = line.find('='); inside && equals != std::string::npos) {
            // An earlier line of the section wins, as in libpq.
            section.emplace(line.substr(0, equals), line.substr(equals + 1));
        }
    }
    return section;
}

LinkSettings EffectiveLinkSettings(const std::map<std::string, std::string>& given) {
    const auto named = [&given](const char* key) {
        const auto found = given.find(key);
        return found != given.end() ? found->second : std::string();
    };
    std::string service = named("service");
    const std::map<std::string, std::string> section =
        ServiceSettings(service.empty() ? Environment("PGSERVICE") : service);
    const auto setting = [&](const char* key, const char* variable) {
        if (std::string value = named(key); !value.empty()) {
            return value;
        }
        if (const auto found = section.find(key); found != section.end() && !found->second.empty()) {
            return found->second;
        }
        return Environment(variable);
    };
    return {setting("host", "PGHOST"), setting("hostaddr", "PGHOSTADDR"),
            setting("sslmode", "PGSSLMODE"), setting("sslrootcert", "PGSSLROOTCERT")};
}

bool LoopbackAddress(const std::string& address) {
    unsigned char bytes[16] = {};
    if (inet_pton(AF_INET, address.c_str(), bytes) == 1) {
        return bytes[0] == 127;
    }
    static const unsigned char loopback6[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return inet_pton(AF_INET6, address.c_str(), bytes) == 1 &&
           std::equal(bytes, bytes + 16, loopback6);
}

std::string NetworkHost(const LinkSettings& link) {
    std::string network;
    const auto remember = [&network](const std::string& entry) {
        network = entry;
        return true;
    };
    if (AnyEntry(link.hostaddr, [&](const std::string& address) {
            return !LoopbackAddress(address) && remember(address);
        })) {
        return network;
    }
    AnyEntry(link.host, [&](const std::string& host) {
        const bool here = host[0] == '/' || host[0] == '@' || host == "localhost" ||
                          LoopbackAddress(host);
        return !here && remember(host);
    });
    return network;
}
