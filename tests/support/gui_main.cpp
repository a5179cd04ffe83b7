// GoogleTest main for GUI tests: the framework starts as in the program,
// with the application name "Orvane"; toolkit assertions fail the test.
#include "platform/ui/afxinit.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/uicall.h"
#include "suppressions.h"

#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/debug.h>

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_string().c_str(), line)
        << "wx assertion in " << func.utf8_string() << ": " << cond.utf8_string() << " " << msg.utf8_string();
}

}  // namespace

// Sanitizer defaults of every GUI test binary, so that they need no
// environment: the window system's own libraries keep caches until exit and
// run threads ThreadSanitizer cannot see into. The lists are lsan.supp and
// tsan.supp, which test-all also hands to the program itself.
extern "C" const char* __lsan_default_suppressions()
{
    return kLsanSuppressions;
}

extern "C" const char* __tsan_default_suppressions()
{
    return kTsanSuppressions;
}

int main(int argc, char** argv)
{
    // GoogleTest takes its own flags out of argv; a second start needs them.
    std::vector<char*> original(argv, argv + argc + 1);
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();  // no display needed

    // The toolkit sees the program's name, not the test binary's.
    char name[] = "Orvane";
    char* args[] = {name, nullptr};
    int count = 1;
    if (!AfxFrameworkStart(count, args)) {
        // A busy Xvfb now and then refuses a new client; one more start, as a
        // new process (the toolkit cannot be started twice in one).
        if (std::getenv("DISPLAY") && !std::getenv("ORVANE_GUI_RESTARTED")) {
            std::fprintf(stderr, "the display refused the connection; starting once more\n");
            setenv("ORVANE_GUI_RESTARTED", "1", 1);
            sleep(1);
            execv("/proc/self/exe", original.data());
        }
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
