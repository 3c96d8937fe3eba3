#include "ui/ConverterApp.h"

int main(int argc, char** argv) {
    tolvren::ConverterApp app(argc, argv);
    return app.InitInstance();
}
