#include "StartUp.h"

#include "ConfigModel.h"

#include <QDir>
#include <QFileInfo>

QList<SerialDevice> ListPorts(ConfigModel& model, const PortProber& prober)
{
    QList<SerialDevice> devices = prober.Survey();
    model.setPorts(UsablePortNames(devices));
    return devices;
}

QList<SerialDevice> RunStartUp(ConfigModel& model, const PortProber& prober,
                               const std::function<void()>& clearPortReady,
                               const QString& lockedFile)
{
    if (clearPortReady)
        clearPortReady();
    QList<SerialDevice> devices = ListPorts(model, prober);
    model.LabelPages();
    model.image().zeroStoredPrefix();
    // The name is relative to the working directory, never the program's folder.
    if (QFileInfo::exists(lockedFile) && LoadImageFile(lockedFile, model.image()))
        model.setConfigLocked(true);
    model.ImageToTable();
    return devices;
}
