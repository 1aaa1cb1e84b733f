#include "app/quillon_app.h"

int main(int argc, char* argv[])
{
    quillon::CQuillonApp app(argc, argv);
    return app.InitInstance();
}
