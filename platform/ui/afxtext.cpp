// The program's texts in the user's language: the catalog of translations
// is chosen at start (none for Chinese, the program's own language, for the
// C locale and for a language without one) and the texts are looked up as
// they reach the toolkit. The dialog templates are translated as they load.
#include "platform/base/language.h"
#include "platform/ui/afxinit.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {
std::vector<std::string> Preferred()
{
#ifdef __WXMSW__
    // The user's display languages, as Windows orders them.
    std::vector<std::string> languages;
    for (const wxString& tag : wxUILocale::GetPreferredUILanguages())
        languages.push_back(tag.utf8_string());
    return languages;
#else
    return afx::PreferredLanguagesFromEnv([](const char* name) { return std::getenv(name); });
#endif
}
}  // namespace

void AfxLoadTranslations()
{
    auto translations = std::make_unique<wxTranslations>();
#ifdef __WXMSW__
    // Compiled into the executable's resources (MOFILE "orvane_<lang>").
    translations->SetLoader(new wxResourceTranslationsLoader);
#else
    // Installed beside the program (PREFIX/share/locale) or, in the build
    // tree, next to it.
    const wxString dir = wxFileName(wxStandardPaths::Get().GetExecutablePath()).GetPath();
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(dir + wxS("/locale"));
    wxFileTranslationsLoader::AddCatalogLookupPathPrefix(dir + wxS("/../share/locale"));
#endif
    std::vector<std::string> available;
    for (const wxString& lang : translations->GetAvailableTranslations(kAfxTextDomain))
        available.push_back(lang.utf8_string());
    const std::string lang = afx::ChooseCatalog(Preferred(), available);
    if (lang.empty())
        return;
    translations->SetLanguage(wxString::FromUTF8(lang));
    if (translations->AddCatalog(kAfxTextDomain, wxLANGUAGE_CHINESE_SIMPLIFIED))
        wxTranslations::Set(translations.release());
}

void AfxUnloadTranslations()
{
    wxTranslations::Set(nullptr);
}

wxString AfxWxText(const char* gbk)
{
    return wxGetTranslation(AfxWxFromGbk(gbk), kAfxTextDomain);
}
