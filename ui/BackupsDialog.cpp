#include "BackupsDialog.h"

#include "BackupFiles.h"
#include "ImageFile.h"
#include "ParamImage.h"
#include "UiTexts.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

QList<BackupEntry> ListBackups(const QString& folder, const ParamImage& table)
{
    QList<BackupEntry> entries;
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::NoDotAndDotDot);
    for (const QFileInfo& file : files) {
        const std::optional<BackupName> name = ParseBackupFileName(QFile::encodeName(file.fileName()));
        if (!name)
            continue;
        BackupEntry entry;
        entry.path = file.absoluteFilePath();
        entry.port = QFile::decodeName(name->label);
        entry.at = name->at;
        entry.attempt = name->attempt;
        ParamImage image;
        entry.readable = LoadImageFile(entry.path, image);
        if (entry.readable)
            entry.difference = CompareImages(image, table);
        entries.append(entry);
    }
    std::sort(entries.begin(), entries.end(), [](const BackupEntry& a, const BackupEntry& b) {
        if (a.at != b.at)
            return a.at > b.at;
        if (a.attempt != b.attempt)
            return a.attempt > b.attempt;
        return a.path < b.path;
    });
    return entries;
}

BackupsDialog::BackupsDialog(const QString& folder, const ParamImage& table, bool canOpen,
                             QWidget* parent)
    : QDialog(parent), folder_(folder), entries_(ListBackups(folder, table))
{
    setObjectName(QStringLiteral("BackupsDialog"));
    setWindowTitle(UiTexts::BackupsTitle);
    auto* layout = new QVBoxLayout(this);
    auto* help = new QLabel(UiTexts::BackupsHelp.arg(QDir::toNativeSeparators(folder)), this);
    help->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(help);

    List = new QTreeWidget(this);
    List->setObjectName(QStringLiteral("BackupList"));
    List->setRootIsDecorated(false);
    List->setHeaderLabels({UiTexts::BackupDateColumn, UiTexts::BackupPortColumn,
                           UiTexts::BackupDiffersColumn});
    for (const BackupEntry& entry : entries_) {
        const QString differs =
            !entry.readable ? UiTexts::BackupUnreadable
            : entry.difference.none()
                ? UiTexts::BackupSame
                : UiTexts::BackupDiffers(entry.difference.addresses, entry.difference.otherBytes);
        auto* item = new QTreeWidgetItem(
            List, {entry.at.toString(UiTexts::BackupDateFormat), entry.port, differs});
        item->setToolTip(0, QDir::toNativeSeparators(entry.path));
    }
    List->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(List);
    if (entries_.isEmpty())
        layout->addWidget(new QLabel(UiTexts::BackupsNone, this));

    auto* buttons = new QDialogButtonBox(this);
    OpenButton = buttons->addButton(UiTexts::BackupOpenButton, QDialogButtonBox::AcceptRole);
    FolderButton = buttons->addButton(UiTexts::BackupFolderButton, QDialogButtonBox::ActionRole);
    CloseButton = buttons->addButton(UiTexts::CloseButton, QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(FolderButton, &QPushButton::clicked, this, &BackupsDialog::showFolder);
    connect(List, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (OpenButton->isEnabled())
            accept();
    });

    // Открыть needs a backup chosen, and a table that may be replaced.
    auto enableOpen = [this, canOpen] {
        OpenButton->setEnabled(canOpen && List->currentItem() != nullptr);
    };
    connect(List, &QTreeWidget::currentItemChanged, this, enableOpen);
    if (!entries_.isEmpty())
        List->setCurrentItem(List->topLevelItem(0));
    enableOpen();
    resize(560, 360);
}

QString BackupsDialog::Chosen() const
{
    const int row = List->currentItem() ? List->indexOfTopLevelItem(List->currentItem()) : -1;
    return row >= 0 && row < entries_.size() ? entries_.at(row).path : QString();
}

void BackupsDialog::showFolder()
{
    QDir().mkpath(folder_); // no write has made it yet
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder_));
}
