#include "StartUp.h"

#include "ConfigModel.h"

#include <QFileInfo>

QList<SerialDevice> ListPorts(const PortProber& prober)
{
    return prober.Survey();
}

QList<SerialDevice> RunStartUp(ConfigModel& model, const PortProber& prober,
                               const ImageFileReader& readFile,
                               const std::function<void()>& clearPortReady,
                               const QString& lockedFile)
{
    if (clearPortReady)
        clearPortReady();
    QList<SerialDevice> devices = ListPorts(prober);
    model.LabelPages();
    model.image().zeroStoredPrefix();
    // The name is relative to the working directory, never the program's folder.
    if (readFile && QFileInfo::exists(lockedFile) && readFile(lockedFile, model.image()))
        model.setConfigLocked(true);
    model.ImageToTable();
    return devices;
}
