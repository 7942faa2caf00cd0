// The port selector (ComboBox1) and the state behind it: the port list and the
// selected port, which belong to the window, not to the configuration. The
// local ports come from the start-up survey and from a new survey each time the
// list is opened; the network ports the operator entered follow them; the last
// entry asks for a new network port. Its tooltip names the devices present but
// not usable, and why; the port of the last run is highlighted when the list
// opens with nothing selected.
#pragma once

#include "SerialDevices.h"

#include <QObject>
#include <QStringList>

class DropDownList;
class PortProber;
class QWidget;

class PortSelector : public QObject
{
    Q_OBJECT
public:
    // `box` is the window's ComboBox1; the network-port dialog is owned by
    // `dialogParent`.
    PortSelector(DropDownList* box, const PortProber& prober, QWidget* dialogParent);

    // The start-up survey: its usable ports, then the remembered network ports;
    // nothing selected.
    void Fill(const QList<SerialDevice>& survey);

    const QStringList& Ports() const { return ports_; }
    int Index() const { return index_; }
    // The selected port's name; empty when none is selected.
    QString CurrentName() const;
    // Replaces the list, leaving nothing selected.
    void SetPorts(const QStringList& names);
    // Selects `index` (-1: none; out of range counts as none). Never runs the
    // change handler.
    void Select(int index);

    // Whether `row` of the box is the last entry, "Сетевой порт…".
    bool IsNetworkEntry(int row) const;
    // Asks for a network port's address; an entered one is remembered, listed
    // and selected. Its index, or -1 when the operator cancelled.
    int AskNetworkPort();
    // Surveys the ports again (the list is being opened). `held`, the port the
    // program holds open, stays listed and is not probed; the selected name
    // stays selected.
    void Resurvey(const QString& held);
    // The selected port is the one offered first on the next run.
    void RememberSelection();

private:
    void present();
    void presentUnusable(const QList<SerialDevice>& devices);
    // `names`, then the remembered network ports it lacks.
    QStringList withNetworkPorts(QStringList names) const;

    DropDownList* box_;
    const PortProber& prober_;
    QWidget* dialogParent_;
    QStringList ports_;
    int index_ = -1;
    QStringList networkPorts_; // remembered ones, most recent first
    QString rememberedPort_;   // the last run's port, offered first
};
