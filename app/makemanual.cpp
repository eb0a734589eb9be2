// Prints the user manual: reads a Markdown file (GitHub's dialect) with the
// pictures it names (paths relative to the file) and writes it as a PDF of A4
// pages with page numbers. Each second-level section starts on a new page.
//
//   tavix_manual MANUAL.md OUTPUT.pdf
//
// Exit code 0 when the PDF is written; 1, with a line on stderr, when the
// manual cannot be read, a picture is missing or the PDF cannot be written
// (nothing is left at OUTPUT then); 2 for wrong arguments. Needs a Qt platform
// but no display (the build runs it with QT_QPA_PLATFORM=offscreen).
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextImageFormat>
#include <QTextTable>
#include <QUrl>

#include <cstdio>
#include <utility>

namespace {

// The widest a picture is shown, in the document's pixels (1/96 inch): the
// text width of an A4 page between the printed margins, about 16.5 cm.
constexpr qreal MaxPictureWidth = 600;

void fail(const QString &text)
{
    std::fprintf(stderr, "tavix_manual: %s\n", qPrintable(text));
}

// Gives every picture its image and a size that fits the page; returns the
// names of pictures that cannot be read.
QStringList placePictures(QTextDocument &doc, const QDir &base)
{
    QStringList missing;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid() || !fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat picture = fragment.charFormat().toImageFormat();
            const QString name = picture.name();
            const QImage image(base.filePath(QUrl(name).path()));
            if (image.isNull()) {
                missing << name;
                continue;
            }
            doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
            const qreal scale = qMin(1.0, MaxPictureWidth / image.width());
            picture.setWidth(image.width() * scale);
            picture.setHeight(image.height() * scale);
            QTextCursor cursor(&doc);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(picture);
        }
    }
    return missing;
}

// Code blocks in a fixed-pitch font.
void fixCodeFont(QTextDocument &doc)
{
    QTextCharFormat code;
    code.setFontFamily(QStringLiteral("monospace"));
    code.setFontFixedPitch(true);
    code.setFontPointSize(9);
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (!block.blockFormat().hasProperty(QTextFormat::BlockCodeFence))
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(code);
    }
}

// A new page before each second-level heading but the first; some room
// before every heading.
void breakPages(QTextDocument &doc)
{
    bool first = true;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const int level = block.blockFormat().headingLevel();
        if (level == 0)
            continue;
        QTextBlockFormat format = block.blockFormat();
        format.setTopMargin(level <= 2 ? 18 : 12);
        if (level == 2 && !std::exchange(first, false))
            format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(block).setBlockFormat(format);
    }
}

// Tables across the text width, with a thin grid and some room in each cell.
void shapeTables(QTextFrame *frame)
{
    for (QTextFrame *child : frame->childFrames()) {
        if (auto *table = qobject_cast<QTextTable *>(child)) {
            QTextTableFormat format = table->format();
            format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
            format.setBorder(1);
            format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
            format.setBorderBrush(Qt::lightGray);
            format.setCellPadding(3);
            format.setCellSpacing(0);
            table->setFormat(format);
        }
        shapeTables(child);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fputs("usage: tavix_manual MANUAL.md OUTPUT.pdf\n", stderr);
        return 2;
    }
    const QString source = args.at(1);
    const QString output = args.at(2);

    QFile file(source);
    if (!QFileInfo(source).isFile() || !file.open(QIODevice::ReadOnly)) {
        fail(QStringLiteral("cannot read %1: %2").arg(source, file.errorString()));
        return 1;
    }
    QTextDocument doc;
    QFont font = doc.defaultFont();
    font.setPointSizeF(10);
    doc.setDefaultFont(font);
    doc.setMarkdown(QString::fromUtf8(file.readAll()), QTextDocument::MarkdownDialectGitHub);
    const QStringList missing = placePictures(doc, QFileInfo(source).absoluteDir());
    if (!missing.isEmpty()) {
        fail(QStringLiteral("%1: pictures not found: %2").arg(source, missing.join(QStringLiteral(", "))));
        return 1;
    }
    breakPages(doc);
    fixCodeFont(doc);
    shapeTables(doc.rootFrame());

    // Written beside the target and put in its place only when whole.
    QSaveFile pdf(output);
    if (!pdf.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("cannot write %1: %2").arg(output, pdf.errorString()));
        return 1;
    }
    {
        QPdfWriter writer(&pdf);
        writer.setTitle(QStringLiteral("Tavix 2.0 user manual"));
        writer.setCreator(QStringLiteral("Tavix"));
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::A4));
        // With no margins of its own, the document is printed with its
        // default 2 cm border and page numbers.
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        doc.print(&writer);
    }
    if (!pdf.commit()) {
        fail(QStringLiteral("cannot write %1: %2").arg(output, pdf.errorString()));
        return 1;
    }
    return 0;
}
