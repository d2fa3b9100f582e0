// The real launcher sequence with one button pressed as soon as the loop runs, for tests that
// need a whole process: its exit code, and what the real shell starts from a game folder.
// Usage: launcher_driver start|setup|fix|exit [--record]
//   --record: requests are printed ("request VERB|FILE|PARAMS|DIR|SHOW") instead of launched.
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "launcher/Unit4.h"
#include "launcher/launch.h"
#include "launcher/starter.h"
#include "toolkit/host/qtform.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: launcher_driver start|setup|fix|exit [--record]\n");
        return 64;
    }
    const std::string which = argv[1];
    if (argc > 2 && std::strcmp(argv[2], "--record") == 0) {
        SetShellOpen([](const TLaunchRequest& r) {
            std::printf("request %s|%s|%s|%s|%d\n", r.Verb.c_str(), r.File.c_str(),
                        r.Parameters ? r.Parameters->c_str() : "(none)", r.Directory.c_str(), r.ShowCommand);
            std::fflush(stdout);
        });
    }
    int qtArgc = 1;
    return RunLauncher(qtArgc, argv, [which] {
        QTimer::singleShot(0, [which] {
            TButton* button = which == "start"   ? Form4->Button1
                              : which == "setup" ? Form4->Button2
                              : which == "exit"  ? Form4->Button3
                                                 : Form4->Button4;
            auto* peer = dynamic_cast<TQtFormPeer*>(Form4->Peer());
            peer->ButtonWidget(*button)->click();
            // Buttons that leave the window open: end the run the way the user would.
            if (which == "setup" || which == "fix") peer->ButtonWidget(*Form4->Button3)->click();
        });
    });
}
