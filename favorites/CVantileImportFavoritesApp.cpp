#include "favorites/CVantileImportFavoritesApp.h"

bool CVantileImportFavoritesApp::InitInstance() {
    config.Load();
    return true;
}

int CVantileImportFavoritesApp::ExitInstance() {
    return 0;
}
