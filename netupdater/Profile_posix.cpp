#include "UpdaterSettings.h"

#include <cctype>
#include <fstream>

namespace {

bool SameName(const std::string& a, const char* b) {
    const std::string other = b;
    if (a.size() != other.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(other[i])))
            return false;
    return true;
}

} // namespace

// As Windows reads profiles: names compare without case, the first matching key of the
// first matching section wins, a value loses its surrounding blanks and one pair of quotes.
bool ReadProfileText(const std::filesystem::path& path, const char* section, const char* key,
                     std::string& value) {
    std::ifstream file(path);
    if (!file)
        return false;
    std::string line;
    bool inSection = false;
    while (std::getline(file, line)) {
        line = Trimmed(line);
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            inSection =
                close != std::string::npos && SameName(Trimmed(line.substr(1, close - 1)), section);
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos ||
            !SameName(Trimmed(line.substr(0, equals)), key))
            continue;
        value = Trimmed(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return true;
    }
    return false;
}
