#include "favorites/CVantileImportFavoritesApp.h"

namespace ovix::favorites {

bool CVantileImportFavoritesApp::InitInstance() {
    config.Load();
    return true;
}

int CVantileImportFavoritesApp::ExitInstance() {
    return 0;
}

}  // namespace ovix::favorites
