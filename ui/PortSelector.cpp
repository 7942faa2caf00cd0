#include "PortSelector.h"

#include "Application.h"
#include "DropDownList.h"
#include "NetworkPortDialog.h"
#include "PortProber.h"
#include "UiTexts.h"

PortSelector::PortSelector(DropDownList* box, const PortProber& prober, QWidget* dialogParent)
    : QObject(box), box_(box), prober_(prober), dialogParent_(dialogParent),
      rememberedPort_(RememberedPort())
{
    box_->preselect = [this] { return ports_.indexOf(rememberedPort_); };
}

void PortSelector::Fill(const QList<SerialDevice>& survey)
{
    networkPorts_ = RememberedNetworkPorts();
    presentUnusable(survey);
    SetPorts(withNetworkPorts(UsablePortNames(survey)));
}

QString PortSelector::CurrentName() const
{
    return index_ >= 0 && index_ < ports_.size() ? ports_.at(index_) : QString();
}

void PortSelector::SetPorts(const QStringList& names)
{
    ports_ = names;
    index_ = -1;
    present();
}

void PortSelector::Select(int index)
{
    index_ = index >= 0 && index < ports_.size() ? index : -1;
    box_->setCurrentIndex(index_);
}

void PortSelector::present()
{
    box_->clear();
    box_->addItems(ports_);
    box_->addItem(UiTexts::NetworkPortItem);
    box_->setCurrentIndex(index_);
}

bool PortSelector::IsNetworkEntry(int row) const
{
    return row == box_->count() - 1;
}

int PortSelector::AskNetworkPort()
{
    NetworkPortDialog dialog(networkPorts_, dialogParent_);
    if (dialog.exec() != QDialog::Accepted) {
        box_->setCurrentIndex(index_);
        return -1;
    }
    const QString port = dialog.port();
    RememberNetworkPort(port);
    networkPorts_.removeAll(port);
    networkPorts_.prepend(port);
    if (!ports_.contains(port))
        SetPorts(QStringList(ports_) << port);
    Select(ports_.indexOf(port));
    return index_;
}

void PortSelector::Resurvey(const QString& held)
{
    const QString selected = CurrentName();
    const QList<SerialDevice> devices = prober_.Survey(held);
    QStringList names = UsablePortNames(devices);
    if (!held.isEmpty() && !names.contains(held) && !networkPorts_.contains(held))
        names.append(held);
    names = withNetworkPorts(names);
    presentUnusable(devices);
    if (names == ports_)
        return;
    SetPorts(names);
    Select(names.indexOf(selected));
}

void PortSelector::RememberSelection()
{
    rememberedPort_ = CurrentName();
    RememberPort(rememberedPort_);
}

QStringList PortSelector::withNetworkPorts(QStringList names) const
{
    for (const QString& port : networkPorts_) {
        if (!names.contains(port))
            names.append(port);
    }
    return names;
}

void PortSelector::presentUnusable(const QList<SerialDevice>& devices)
{
    QStringList lines;
    for (const SerialDevice& device : devices) {
        if (device.state != PortState::Usable)
            lines << device.name + QStringLiteral(": ") + device.reason;
    }
    if (!lines.isEmpty())
        lines.prepend(UiTexts::UnusablePorts);
    box_->setToolTip(lines.join(QLatin1Char('\n')));
}
