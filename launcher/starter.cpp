// Program entry: every unit's start-up in order (the picture formats before the window that names
// them), the application, the launcher window from its description, the message loop, then the
// shut-downs in reverse order. The command line is not read.
#include "launcher/starter.h"

#include <exception>
#include <memory>

#include "launcher/Unit4.h"
#include "png/pngobject.h"
#include "pngbutton/pngextra.h"
#include "toolkit/controls/reader.h"
#include "toolkit/core/picture.h"
#include "toolkit/host/hostfactory.h"

int RunLauncher(int& argc, char** argv, const std::function<void()>& beforeRun) {
    PictureInitialization();
    ControlsInitialization();
    PngImageInitialization();
    PngButtonInitialization();
    int exitCode = 0;
    {
        const std::unique_ptr<THost> host = MakeHost(argc, argv);
        SetHost(host.get());
        {
            TApplication application;
            Application = &application;
            try {
                application.Initialize();
                application.CreateForm(Form4);
                if (beforeRun) beforeRun();
                application.Run();
            } catch (const std::exception& error) {
                // An error before the loop runs (a window description that cannot be read) ends
                // the program once the user has seen it.
                application.HandleException(error);
                exitCode = 1;
            }
            Application = nullptr;
        }
        Form4 = nullptr;
        SetHost(nullptr);
    }
    PngButtonFinalization();
    PngImageFinalization();
    ControlsFinalization();
    PictureFinalization();
    return exitCode;
}
