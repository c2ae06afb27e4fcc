#include "tools/clipboard_copy.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kv {
namespace {

void markAsSecret([[maybe_unused]] QMimeData& data)
{
#if defined(Q_OS_WIN)
    // Qt offers every other format under its own name as a registered clipboard format. (The
    // application/x-qt-windows-mime;value="..." spelling is stripped to the bare name only from
    // Qt 6.5 on; 6.4 would register the whole string.)
    const QByteArray zero(4, '\0'); // a DWORD 0
    data.setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), zero);
    data.setData(QStringLiteral("CanIncludeInClipboardHistory"), zero);
    data.setData(QStringLiteral("CanUploadToCloudClipboard"), zero);
#elif !defined(Q_OS_DARWIN)
    // Read by the clipboard managers of the Linux desktops, which then keep no copy.
    data.setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
#endif
}

} // namespace

bool CopyToClipboard(const QString& text, bool secret)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        return false;
    clipboard->clear();

    auto* data = new QMimeData; // the clipboard takes it over
    data->setText(text);
    if (secret)
        markAsSecret(*data);
    clipboard->setMimeData(data);

    // The platform reports a clipboard it could not take only as a warning; so look whether the text
    // we put there is what the clipboard now offers.
    if (clipboard->ownsClipboard())
        return true;
    const QMimeData* now = clipboard->mimeData();
    return now == data || (now && now->hasText() && now->text() == text);
}

void CopyFieldText(const QString& text, bool secret, const ShowMessage& message)
{
    if (!CopyToClipboard(text, secret) && message)
        message(QStringLiteral("Clipboard is busy"));
}

} // namespace kv
