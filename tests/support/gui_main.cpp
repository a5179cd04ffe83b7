// GoogleTest main for GUI tests: the framework starts as in the program,
// with the application name "Orvane"; toolkit assertions fail the test.
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/uicall.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/debug.h>

#include <cstdio>

namespace {

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " " << msg.utf8_string();
}

}  // namespace

// Sanitizer defaults of every GUI test binary (no environment needed). The
// leak suppressions name only the window system's own libraries, which keep
// caches and type registrations until exit; lsan.supp holds the same list
// for running the program itself (LSAN_OPTIONS=suppressions=...).
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libgtk-3.so\n"
           "leak:libgdk-3.so\n"
           "leak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\n"
           "leak:libgio-2.0.so\n"
           "leak:libfontconfig.so\n"
           "leak:libpango-1.0.so\n"
           "leak:libpangoft2-1.0.so\n"
           "leak:libpangocairo-1.0.so\n"
           "leak:libcairo.so\n"
           "leak:libharfbuzz.so\n"
           "leak:libatk-1.0.so\n"
           "leak:libatk-bridge-2.0.so\n"
           "leak:libdbus-1.so\n"
           "leak:libX11.so\n";
}

// ThreadSanitizer: the window system's libraries run threads of their own
// (font loading, GIO workers) and synchronise in ways it cannot see, as
// they are not instrumented. tsan.supp holds the same list.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:libglib-2.0.so\n"
           "race:libgio-2.0.so\n"
           "race:libgobject-2.0.so\n"
           "race:libfontconfig.so\n"
           "race:libgtk-3.so\n"
           "race:libgdk-3.so\n"
           "race:libpango-1.0.so\n"
           "race:libcairo.so\n"
           "race:libdbus-1.so\n";
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();  // no display needed

    // The toolkit sees the program's name, not the test binary's.
    char name[] = "Orvane";
    char* args[] = {name, nullptr};
    int count = 1;
    if (!AfxFrameworkStart(count, args)) {
        std::fprintf(stderr, "GUI tests need a display (run under xvfb-run -a)\n");
        return 1;
    }
    wxSetAssertHandler(FailOnAssert);
    const int status = RUN_ALL_TESTS();
    afx::BeginProcessEnd();
    afx::JoinWorkers(std::chrono::seconds(2));
    AfxFrameworkEnd();
    return status;
}
