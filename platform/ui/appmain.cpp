// The framework's entry: the program is its static application object.
#include "platform/ui/afxinit.h"

int main(int argc, char** argv)
{
    return AfxWinMain(argc, argv);
}
