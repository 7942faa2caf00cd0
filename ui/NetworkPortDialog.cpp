#include "NetworkPortDialog.h"

#include "Application.h"
#include "NetworkBackend.h"
#include "UiTexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString SettingsKey = QStringLiteral("network/ports");

} // namespace

NetworkPortDialog::NetworkPortDialog(const QStringList& remembered, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(UiTexts::NetworkPortTitle);
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(UiTexts::NetworkPortHelp, this);
    help->setWordWrap(true);
    layout->addWidget(help);
    Address = new QComboBox(this);
    Address->setObjectName(QStringLiteral("Address"));
    Address->setEditable(true);
    Address->setInsertPolicy(QComboBox::NoInsert);
    Address->addItems(remembered);
    Address->setCurrentText(remembered.isEmpty() ? QStringLiteral("rfc2217://")
                                                 : remembered.first());
    layout->addWidget(Address);
    auto* buttons = new QDialogButtonBox(this);
    OkButton = buttons->addButton(UiTexts::OkButton, QDialogButtonBox::AcceptRole);
    buttons->addButton(UiTexts::CancelButton, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    const auto check = [this] { OkButton->setEnabled(ParseNetworkPort(port()).has_value()); };
    connect(Address, &QComboBox::currentTextChanged, this, check);
    check();
    setMinimumWidth(420);
}

QString NetworkPortDialog::port() const
{
    return Address->currentText().trimmed();
}

QStringList RememberedNetworkPorts()
{
    QStringList ports;
    for (const QString& port : ProgramSetting(SettingsKey).toStringList()) {
        if (ParseNetworkPort(port) && !ports.contains(port) && ports.size() < RememberedPortCount)
            ports.append(port);
    }
    return ports;
}

void RememberNetworkPort(const QString& port)
{
    QStringList ports = RememberedNetworkPorts();
    ports.removeAll(port);
    ports.prepend(port);
    SetProgramSetting(SettingsKey, ports.mid(0, RememberedPortCount));
}

void ForgetNetworkPorts()
{
    RemoveProgramSetting(SettingsKey);
}
