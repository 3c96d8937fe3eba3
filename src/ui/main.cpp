#include "ui/CommandLineInfo.h"
#include "ui/ConverterApp.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (const auto status = tolvren::AnswerHelpOrVersion(argc, argv, stdout)) {
        return *status;
    }
    tolvren::ConverterApp app(argc, argv);
    return app.InitInstance();
}
