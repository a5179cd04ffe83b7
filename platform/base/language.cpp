#include "platform/base/language.h"

#include <algorithm>

namespace afx {
namespace {

// "en_US.UTF-8@euro" and "en-US" both become "en_US".
std::string Normalise(std::string tag)
{
    tag = tag.substr(0, tag.find_first_of(".@"));
    std::replace(tag.begin(), tag.end(), '-', '_');
    return tag;
}

bool IsCLocale(const std::string& locale)
{
    const std::string base = locale.substr(0, locale.find('.'));
    return base.empty() || base == "C" || base == "POSIX";
}

bool Has(const std::vector<std::string>& list, const std::string& item)
{
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

std::vector<std::string> PreferredLanguagesFromEnv(const std::function<const char*(const char*)>& env)
{
    auto value = [&](const char* name) {
        const char* v = env(name);
        return std::string(v ? v : "");
    };
    std::string locale = value("LC_ALL");
    if (locale.empty())
        locale = value("LC_MESSAGES");
    if (locale.empty())
        locale = value("LANG");
    if (IsCLocale(locale))
        return {};

    std::vector<std::string> languages;
    const std::string list = value("LANGUAGE");
    for (std::size_t start = 0; start < list.size();) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        if (end > start)
            languages.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    if (languages.empty())
        languages.push_back(locale);
    return languages;
}

std::string ChooseCatalog(const std::vector<std::string>& preferred,
                          const std::vector<std::string>& available)
{
    for (const std::string& tag : preferred) {
        const std::string full = Normalise(tag);
        const std::string language = full.substr(0, full.find('_'));
        if (language.empty() || IsCLocale(full))
            continue;
        if (Has(available, full))
            return full;
        if (language == "zh")
            return std::string();
        if (Has(available, language))
            return language;
    }
    return std::string();
}

}  // namespace afx
