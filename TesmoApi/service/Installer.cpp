#include "service/Installer.h"

#include "service/ServiceHost.h"

int InstallService(bool /*mayElevate*/) {
    ShowMessage("La instalación del servicio no está disponible en esta compilación del programa",
                eMessageIcon::Information);
    return kInstallFailed;
}

int UninstallService(bool /*mayElevate*/) {
    ShowMessage(
        "La desinstalación del servicio no está disponible en esta compilación del programa",
        eMessageIcon::Information);
    return kInstallFailed;
}
