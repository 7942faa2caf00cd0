// The dialog behind the port selector's last entry: the address of a port on
// a serial device server, with its two forms explained. OK is enabled only for
// a well-formed address. The last few addresses entered are remembered in the
// user's configuration folder and offered again.
#pragma once

#include <QDialog>

class QComboBox;
class QPushButton;

class NetworkPortDialog : public QDialog
{
    Q_OBJECT
public:
    explicit NetworkPortDialog(const QStringList& remembered, QWidget* parent = nullptr);
    QString port() const;

    QComboBox* Address = nullptr; // editable; the remembered addresses in its list
    QPushButton* OkButton = nullptr;
};

inline constexpr int RememberedPortCount = 5;
// Most recent first.
QStringList RememberedNetworkPorts();
// Puts `port` first and keeps RememberedPortCount.
void RememberNetworkPort(const QString& port);
void ForgetNetworkPorts();
