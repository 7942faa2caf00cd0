// The window's backups at hand (Файл > "Резервные копии…"): what the device
// held before each write, newest first, with when, which port and how far it
// is from the table; one can be opened as Открыть opens a file.
#pragma once

#include "DeviceRecord.h"

#include <QDateTime>
#include <QDialog>
#include <QList>
#include <QString>

class ParamImage;
class QPushButton;
class QTreeWidget;

struct BackupEntry
{
    QString path;
    QString port; // the backup's label: the port's name as a file name allows
    QDateTime at;
    int attempt = 1;
    bool readable = false;
    ImageDifference difference; // from the table, when readable
};

// The backups in `folder` (files of the backup name form), newest first, each
// against `table` (the table's encoded image).
QList<BackupEntry> ListBackups(const QString& folder, const ParamImage& table);

class BackupsDialog : public QDialog
{
    Q_OBJECT
public:
    // `canOpen`: the table may be replaced (Открыть is disabled while the
    // start-up file locks the configuration).
    BackupsDialog(const QString& folder, const ParamImage& table, bool canOpen,
                  QWidget* parent = nullptr);

    QTreeWidget* List = nullptr;
    QPushButton* OpenButton = nullptr;
    QPushButton* FolderButton = nullptr;
    QPushButton* CloseButton = nullptr;

    // The backup chosen with Открыть (after the dialog was accepted).
    QString Chosen() const;
    const QList<BackupEntry>& Entries() const { return entries_; }

private:
    void showFolder();

    QString folder_;
    QList<BackupEntry> entries_;
};
