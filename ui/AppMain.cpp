// The Windows entry of a program built on CWinApp (linked only into the program, never into a
// test): it runs the one application object.
#include "ui/WinApp.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return nvui::RunApplication(instance);
}
