#include "platform/base/language.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

Strings Preferred(const std::map<std::string, std::string>& vars)
{
    return afx::PreferredLanguagesFromEnv([&](const char* name) -> const char* {
        auto it = vars.find(name);
        return it == vars.end() ? nullptr : it->second.c_str();
    });
}

TEST(PreferredLanguagesFromEnv, ReadsTheLocaleAsGettextDoes)
{
    EXPECT_EQ(Preferred({}), Strings{});
    EXPECT_EQ(Preferred({{"LANG", "C"}}), Strings{});
    EXPECT_EQ(Preferred({{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}}), Strings{});  // LANGUAGE needs a locale
    EXPECT_EQ(Preferred({{"LC_ALL", "POSIX"}, {"LANG", "en_US.UTF-8"}}), Strings{});
    EXPECT_EQ(Preferred({{"LANG", "en_US.UTF-8"}}), Strings{"en_US.UTF-8"});
    EXPECT_EQ(Preferred({{"LANG", "zh_CN.UTF-8"}, {"LC_MESSAGES", "de_DE.UTF-8"}}), Strings{"de_DE.UTF-8"});
    EXPECT_EQ(Preferred({{"LC_ALL", "fr_FR"}, {"LC_MESSAGES", "de_DE"}}), Strings{"fr_FR"});
    EXPECT_EQ(Preferred({{"LC_ALL", ""}, {"LANG", "en_GB"}}), Strings{"en_GB"});  // empty counts as unset
    EXPECT_EQ(Preferred({{"LANG", "de_DE.UTF-8"}, {"LANGUAGE", "fr::en_GB:"}}), (Strings{"fr", "en_GB"}));
}

TEST(ChooseCatalog, FirstPreferredLanguageWithACatalogUnlessChineseComesFirst)
{
    const Strings en{"en"};
    EXPECT_EQ(afx::ChooseCatalog({}, en), "");
    EXPECT_EQ(afx::ChooseCatalog({"en_US.UTF-8"}, en), "en");
    EXPECT_EQ(afx::ChooseCatalog({"en-GB"}, en), "en");  // Windows' tags
    EXPECT_EQ(afx::ChooseCatalog({"en_US"}, {"en", "en_US"}), "en_US");
    EXPECT_EQ(afx::ChooseCatalog({"zh_CN.UTF-8"}, en), "");
    EXPECT_EQ(afx::ChooseCatalog({"zh_TW", "en"}, en), "");  // Chinese is the program's own
    EXPECT_EQ(afx::ChooseCatalog({"de_DE", "en"}, en), "en");
    EXPECT_EQ(afx::ChooseCatalog({"de_DE", "fr"}, en), "");
    EXPECT_EQ(afx::ChooseCatalog({"C", "en"}, en), "en");
    EXPECT_EQ(afx::ChooseCatalog({"en"}, {}), "");
}

}  // namespace
