#include "ErrorReport.h"
#include "TessaryApp.h"

int main(int argc, char** argv)
{
    tessary::CTessaryApp app(argc, argv);
    try {
        if (!app.InitInstance(app.arguments().mid(1)))
            return 1;
    } catch (...) {
        tessary::ReportCurrentException();
        return 1;
    }
    const int status = app.exec();
    app.ExitInstance();
    return status;
}
