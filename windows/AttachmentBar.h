#pragma once

// AttachmentBar: the strip above a message's page that lists its attachments (icon,
// name, size), outside the page so that the page stays exactly as rendered. Hidden
// when the message has none; the pictures the page shows in place are not listed.
// Double click or Enter opens one with the desktop's program from a private copy;
// the context menu saves one or all, never over an existing file.

#include <QStringList>
#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "mime/MailAttachments.h"

class QListWidget;
class QUrl;

namespace lumbrook {

class AttachmentBar : public QWidget {
    Q_OBJECT

  public:
    explicit AttachmentBar(QWidget* parent = nullptr);
    // The copies this bar made for opening are removed: mail is private, and a copy
    // in the cache would outlive the program.
    ~AttachmentBar() override;

    // Lists the attachments of the raw message (names read in fallbackCharset, an
    // iconv name, when they do not say); returns how many are listed.
    std::size_t setMessage(std::string_view rawText, std::string_view fallbackCharset);
    // The same for a message parsed already, which the bar keeps (the preview's parse).
    std::size_t setMessage(std::shared_ptr<MailMessage> message, std::string_view fallbackCharset);
    // Lists what another bar lists (the message window shows the preview's message).
    void showSameAs(const AttachmentBar& other);
    void clear();

    const std::vector<AttachmentInfo>& attachments() const;

    // Opens attachment Row (of the list) from a fresh copy in the cache directory;
    // returns false when nothing was opened (refused, or the copy failed). One that
    // no program on the computer opens is said so, with the offer to save it.
    bool openAttachment(int row);
    // Says that attachment Row could not be opened and offers to save it.
    void offerToSave(int row);
    // Writes attachment Row as a new file at path, or beside it with "_0", "_1", ...
    // when the name is taken; returns the path written.
    QString saveAttachment(int row, const QString& path);
    // Writes every listed attachment into dir, never replacing a file; returns the
    // paths written.
    QStringList saveAllAttachments(const QString& dir);

    // The desktop's handler for a file: false when there is none. By default
    // xdg-open, whose failure (no program for the type) comes after it returned and
    // then offers to save the attachment; QDesktopServices::openUrl without it.
    std::function<bool(const QUrl&)> opener;
    // Whether to save an attachment that could not be opened, asked with Text.
    std::function<bool(const QString& text)> confirmSave;
    // Whether a file that can run code may be opened: asked once per extension.
    std::function<bool(const QString& fileName)> confirmRunnable;
    // The file choosers of the context menu; an empty answer is a cancel.
    std::function<QString(const QString& suggestedPath)> chooseFile;
    std::function<QString()> chooseDirectory;
    // The words for a file that could not be written, as the window that shows the
    // bar words its errors (the bare what() until it says).
    std::function<QString(const std::exception& error)> wordError;

    QListWidget* list = nullptr;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    struct Content;
    void fill();
    void report(const QString& text);
    std::shared_ptr<Content> content;
    std::vector<std::string> copyDirs;  // one per attachment opened
    int openingRow = -1;                // the row the opener is opening
};

// Whether a file of this name and media type could run code when opened.
bool canRunCode(const std::string& fileName, const std::string& mediaType);

}  // namespace lumbrook
