// Which catalog of translations the dialog is shown with. The program's own
// texts are Simplified Chinese; a catalog gives them in another language.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace afx {

// The languages the user asks for, most wanted first, read as gettext reads
// them: the locale is LC_ALL, else LC_MESSAGES, else LANG; in the C or POSIX
// locale (or none) nothing is asked for; otherwise LANGUAGE's list, else the
// locale itself. `env` gives a variable's value, nullptr when unset.
std::vector<std::string> PreferredLanguagesFromEnv(const std::function<const char*(const char*)>& env);

// The catalog to load for `preferred` ("en_US.UTF-8", "en-GB", "de"), out of
// the `available` catalogs ("en", "pt_BR"): for the first preferred
// language, its own catalog (ll_CC), else its language's (ll); Chinese, the
// program's own language, needs none; a language without one gives way to
// the next. Empty: the program's own texts.
std::string ChooseCatalog(const std::vector<std::string>& preferred,
                          const std::vector<std::string>& available);

}  // namespace afx
