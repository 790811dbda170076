#include "windows/AttachmentBar.h"

#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QUrl>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <array>
#include <cstdlib>
#include <set>
#include <string_view>

#include "base/Errors.h"
#include "mime/MailModel.h"
#include "platform/Files.h"
#include "output/AttachmentOutput.h"
#include "platform/FileWriter.h"

namespace lumbrook {

namespace {

// Extensions that Windows or a Linux desktop runs, or hands to an interpreter.
constexpr std::array<std::string_view, 30> RunnableExtensions = {
    "exe", "com", "bat", "cmd", "js",  "jse", "vbs", "vbe", "wsf", "wsh",
    "scr", "pif", "lnk", "msi", "msp", "ps1", "jar", "hta", "reg", "cpl",
    "desktop", "sh", "bash", "run", "bin", "appimage", "py", "pl", "url", "inf"};

// Media types whose files run rather than show.
constexpr std::array<const char*, 8> RunnableTypes = {
    "application/x-executable",      "application/x-sharedlib",   "application/x-shellscript",
    "application/x-desktop",         "application/x-ms-dos-executable", "application/x-msdownload",
    "application/x-msi",             "application/java-archive"};

QString pathText(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string pathBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString extensionOf(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0) return {};
    return QString::fromStdString(fileName.substr(dot + 1)).toLower();
}

// The extensions the user agreed to open in this run of the program.
std::set<QString>& allowedExtensions() {
    static std::set<QString> allowed;
    return allowed;
}

}  // namespace

bool canRunCode(const std::string& fileName, const std::string& mediaType) {
    const QString ext = extensionOf(fileName);
    const std::string lower = ext.toStdString();
    if (std::find(RunnableExtensions.begin(), RunnableExtensions.end(), lower) != RunnableExtensions.end())
        return true;
    // The type the desktop will see in the file, by its name, and the one the mail gave.
    const QMimeDatabase types;
    for (const QMimeType& type : {types.mimeTypeForFile(QString::fromStdString(fileName),
                                                        QMimeDatabase::MatchExtension),
                                  types.mimeTypeForName(QString::fromStdString(mediaType))}) {
        if (!type.isValid()) continue;
        for (const char* runnable : RunnableTypes)
            if (type.inherits(QLatin1String(runnable))) return true;
    }
    return false;
}

struct AttachmentBar::Content {
    std::shared_ptr<MailMessage> message;
    std::vector<AttachmentInfo> listed;
};

namespace {

// Where the copies opened with the desktop's programs go: a directory per opening,
// named after the process that made it, so that the next start can tell the copies
// of a program that was killed (its process gone) from those of one still running.
std::string attachmentCopiesDir() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? std::string() : pathBytes(cache) + "/attachments/";
}

// Removes the copies left by programs that ended without removing them (killed),
// before each new copy: a handful of directories to look at.
void removeCopiesOfEndedPrograms(const std::string& dir) {
    const QDir copies(pathText(dir));
    for (const QString& name : copies.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const qsizetype dash = name.indexOf(QLatin1Char('-'));
        bool isNumber = false;
        const long pid = name.left(dash).toLong(&isNumber);
        // kill(pid, 0) fails with ESRCH only when no such process exists.
        if (dash > 0 && isNumber && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 &&
            errno == ESRCH)
            QDir(copies.filePath(name)).removeRecursively();
    }
}

}  // namespace

AttachmentBar::~AttachmentBar() {
    for (const std::string& dir : copyDirs) QDir(pathText(dir)).removeRecursively();
}

AttachmentBar::AttachmentBar(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("attachmentBar"));
    list = new QListWidget(this);
    list->setObjectName(QStringLiteral("attachmentList"));
    list->setFlow(QListView::LeftToRight);
    list->setWrapping(false);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setSpacing(2);
    list->setIconSize(QSize(16, 16));
    list->setContextMenuPolicy(Qt::NoContextMenu);  // the bar's own menu
    // One row of entries and room for the scroll bar a long list needs.
    const int row = std::max(list->iconSize().height(), fontMetrics().height()) + 8;
    list->setFixedHeight(row + list->horizontalScrollBar()->sizeHint().height() + 2 * list->frameWidth());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    opener = [this](const QUrl& url) {
        const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
        if (xdgOpen.isEmpty()) return QDesktopServices::openUrl(url);
        // xdg-open ends with an error of its own when no program takes the file.
        auto* process = new QProcess(this);
        const int row = openingRow;
        const std::weak_ptr<Content> opened = content;
        auto failed = [this, row, opened] {
            if (!opened.expired() && opened.lock() == content) offerToSave(row);
        };
        connect(process, &QProcess::finished, this,
                [process, failed](int exitCode, QProcess::ExitStatus status) {
                    process->deleteLater();
                    if (status != QProcess::NormalExit || exitCode != 0) failed();
                });
        connect(process, &QProcess::errorOccurred, this,
                [process, failed](QProcess::ProcessError error) {
                    if (error != QProcess::FailedToStart) return;
                    process->deleteLater();
                    failed();
                });
        process->start(xdgOpen, {url.toLocalFile()});
        return true;
    };
    confirmSave = [this](const QString& text) {
        return QMessageBox::warning(this, tr("Open attachment"), text,
                                    QMessageBox::Save | QMessageBox::Cancel,
                                    QMessageBox::Save) == QMessageBox::Save;
    };
    confirmRunnable = [this](const QString& fileName) {
        return QMessageBox::question(this, tr("Open attachment"),
                                     tr("\"%1\" is a program or script: opening it can run code on "
                                        "this computer.\n\nOpen files of this type anyway?")
                                         .arg(fileName),
                                     QMessageBox::Yes | QMessageBox::No,
                                     QMessageBox::No) == QMessageBox::Yes;
    };
    chooseFile = [this](const QString& suggested) {
        return QFileDialog::getSaveFileName(this, tr("Save attachment"), suggested, QString(),
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    };
    wordError = [](const std::exception& error) { return QString::fromStdString(error.what()); };
    chooseDirectory = [this] {
        return QFileDialog::getExistingDirectory(this, tr("Save all attachments"));
    };

    connect(list, &QListWidget::activated, this, [this](const QModelIndex& index) {
        openAttachment(index.row());
    });
    hide();
}

std::size_t AttachmentBar::setMessage(std::string_view rawText, std::string_view fallbackCharset) {
    auto message = std::make_shared<MailMessage>();
    message->loadText(rawText);
    return setMessage(std::move(message), fallbackCharset);
}

std::size_t AttachmentBar::setMessage(std::shared_ptr<MailMessage> message,
                                      std::string_view fallbackCharset) {
    auto fresh = std::make_shared<Content>();
    fresh->message = std::move(message);
    fresh->listed = listedAttachments(*fresh->message, fallbackCharset);
    content = fresh->listed.empty() ? nullptr : std::move(fresh);
    fill();
    return content ? content->listed.size() : 0;
}

void AttachmentBar::showSameAs(const AttachmentBar& other) {
    content = other.content;
    fill();
}

void AttachmentBar::clear() {
    content.reset();
    fill();
}

const std::vector<AttachmentInfo>& AttachmentBar::attachments() const {
    static const std::vector<AttachmentInfo> none;
    return content ? content->listed : none;
}

void AttachmentBar::fill() {
    list->clear();
    if (!content) {
        hide();
        return;
    }
    const QMimeDatabase types;
    const QIcon fallback = style()->standardIcon(QStyle::SP_FileIcon);
    for (const AttachmentInfo& a : content->listed) {
        QMimeType type = types.mimeTypeForName(QString::fromStdString(a.mediaType));
        if (!type.isValid() || type.isDefault())
            type = types.mimeTypeForFile(QString::fromStdString(a.fileName), QMimeDatabase::MatchExtension);
        const QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), fallback));
        auto* item = new QListWidgetItem(icon, QStringLiteral("%1 (%2)").arg(
                                                   QString::fromStdString(a.fileName),
                                                   QString::fromStdString(formatByteSize(a.size))));
        item->setToolTip(QString::fromStdString(a.name.empty() ? a.fileName : a.name) +
                         QStringLiteral("\n") + QString::fromStdString(a.mediaType));
        list->addItem(item);
    }
    show();
}

bool AttachmentBar::openAttachment(int row) {
    if (!content || row < 0 || static_cast<std::size_t>(row) >= content->listed.size()) return false;
    const AttachmentInfo& a = content->listed[static_cast<std::size_t>(row)];
    if (canRunCode(a.fileName, a.mediaType)) {
        const QString ext = extensionOf(a.fileName);
        if (!allowedExtensions().contains(ext)) {
            if (!confirmRunnable(QString::fromStdString(a.fileName))) return false;
            allowedExtensions().insert(ext);
        }
    }
    // A directory of its own for each opening: the program opening it may keep the
    // file, and another attachment of the same name must not take its place.
    // Only the user may read them: the directories 0700 (mkdtemp makes its own so),
    // the copy 0600.
    const std::string dir = attachmentCopiesDir();
    std::string path;
    try {
        if (dir.empty() || !forcePrivateDirectories(dir)) throw makeCreateError(dir);
        ::chmod(dir.c_str(), 0700);  // ours alone, also when an older copy made it wider
        removeCopiesOfEndedPrograms(dir);
        std::string pattern = dir + std::to_string(::getpid()) + "-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw makeCreateError(dir);
        copyDirs.push_back(pattern);
        path = pattern + "/" + a.fileName;
        writeFileNew(path, attachmentBytes(*content->message, a.index));
        ::chmod(path.c_str(), 0600);
    } catch (const LumbrookError& e) {
        report(wordError(e));
        return false;
    }
    openingRow = row;
    if (opener(QUrl::fromLocalFile(pathText(path)))) return true;
    offerToSave(row);
    return false;
}

void AttachmentBar::offerToSave(int row) {
    if (!content || row < 0 || static_cast<std::size_t>(row) >= content->listed.size()) return;
    const QString fileName =
        QString::fromStdString(content->listed[static_cast<std::size_t>(row)].fileName);
    if (!confirmSave(tr("No program on this computer opens \"%1\".\n\nSave it, to open it "
                        "with a program of your choice?")
                         .arg(fileName)))
        return;
    const QString path = chooseFile(fileName);
    if (path.isEmpty()) return;
    try {
        saveAttachment(row, path);
    } catch (const LumbrookError& e) {
        report(wordError(e));
    }
}

QString AttachmentBar::saveAttachment(int row, const QString& path) {
    if (!content || row < 0 || static_cast<std::size_t>(row) >= content->listed.size()) return {};
    const AttachmentInfo& a = content->listed[static_cast<std::size_t>(row)];
    const QFileInfo target(path);
    const std::string dir = includeTrailingPathDelimiter(pathBytes(target.absolutePath()));
    OutputNames names;
    const std::string name = writeAttachmentFile(dir, names, pathBytes(target.fileName()),
                                                 attachmentBytes(*content->message, a.index));
    return pathText(dir + name);
}

QStringList AttachmentBar::saveAllAttachments(const QString& dirText) {
    QStringList written;
    if (!content) return written;
    const std::string dir = includeTrailingPathDelimiter(pathBytes(dirText));
    OutputNames names;
    for (const AttachmentInfo& a : content->listed) {
        const std::string name =
            writeAttachmentFile(dir, names, a.fileName, attachmentBytes(*content->message, a.index));
        written.push_back(pathText(dir + name));
    }
    return written;
}

void AttachmentBar::contextMenuEvent(QContextMenuEvent* event) {
    if (!content) return;
    QListWidgetItem* item = list->itemAt(list->viewport()->mapFromGlobal(event->globalPos()));
    const int row = item ? list->row(item) : list->currentRow();
    QMenu menu(this);
    QAction* saveOne = menu.addAction(tr("Save attachment..."));
    saveOne->setEnabled(row >= 0);
    QAction* saveAll = menu.addAction(tr("Save all attachments..."));
    QAction* chosen = menu.exec(event->globalPos());
    try {
        if (chosen == saveOne) {
            const QString suggested =
                QString::fromStdString(content->listed[static_cast<std::size_t>(row)].fileName);
            const QString path = chooseFile(suggested);
            if (!path.isEmpty()) saveAttachment(row, path);
        } else if (chosen == saveAll) {
            const QString dir = chooseDirectory();
            if (!dir.isEmpty()) saveAllAttachments(dir);
        }
    } catch (const LumbrookError& e) {
        report(wordError(e));
    }
}

void AttachmentBar::report(const QString& text) {
    QMessageBox::critical(this, QString(), text);
}

}  // namespace lumbrook
