#include "gui/aboutbox.h"

#include "buildinfo.h" // generated at build time: TAVIX_BUILD_COMMIT, TAVIX_BUILD_DATE

#include <QCoreApplication>
#include <QStringList>

#include <cjson/cJSON.h>
#include <opencv2/core/version.hpp>
#include <zlib.h>

namespace {

QString row(const QString &text)
{
    return QStringLiteral("<p>%1</p>").arg(text);
}

QString sdkLines(const SdkInfo &sdk)
{
    QStringList lines;
    lines << row(QCoreApplication::translate("MainWindow", "相机 SDK: %1").arg(sdk.file.toHtmlEscaped()));
    if (sdk.installed)
        lines << row(QCoreApplication::translate("MainWindow", "路径: 无 (由程序内部提供)"));
    else if (sdk.path.isEmpty())
        lines << row(QCoreApplication::translate("MainWindow", "路径: 未找到, 无法使用相机"));
    else
        lines << row(QCoreApplication::translate("MainWindow", "路径: %1").arg(sdk.path.toHtmlEscaped()));
    if (!sdk.missing.isEmpty())
        lines << row(QCoreApplication::translate("MainWindow", "缺少的操作: %1")
                         .arg(sdk.missing.join(QStringLiteral(", ")).toHtmlEscaped()));
    else if (!sdk.installed)
        lines << row(QCoreApplication::translate("MainWindow", "缺少的操作: 无"));
    return lines.join(QString());
}

QString libraryRow(const QString &name, const QString &version, const QString &licence)
{
    return QStringLiteral("<tr><td>%1 %2</td><td>&nbsp;&nbsp;%3</td></tr>")
        .arg(name, version.toHtmlEscaped(), licence);
}

} // namespace

AboutFacts currentAboutFacts()
{
    AboutFacts facts;
    facts.commit = QStringLiteral(TAVIX_BUILD_COMMIT);
    facts.commitDate = QStringLiteral(TAVIX_BUILD_DATE);
    facts.qtVersion = QString::fromLatin1(qVersion());
    facts.sdk = sdkInfo();
    facts.openCvVersion = QStringLiteral(CV_VERSION);
    facts.cJsonVersion = QString::fromLatin1(cJSON_Version());
    facts.zlibVersion = QString::fromLatin1(zlibVersion());
    return facts;
}

QString aboutTitle()
{
    return QCoreApplication::translate("MainWindow", "关于 Tavix");
}

QString aboutText(const AboutFacts &facts)
{
    const QString commit = facts.commit.isEmpty()
        ? QCoreApplication::translate("MainWindow", "未知 (构建时没有 git)")
        : facts.commit.toHtmlEscaped();
    // OpenCV is under the Apache licence from 4.5 on, under the 3-clause BSD licence before.
    const bool apacheOpenCv = CV_VERSION_MAJOR > 4 || (CV_VERSION_MAJOR == 4 && CV_VERSION_MINOR >= 5);
    QString text = QStringLiteral("<h3>Tavix 2.0</h3>");
    text += row(QCoreApplication::translate("MainWindow", "构建: 提交 %1, %2").arg(commit, facts.commitDate));
    text
        += row(QCoreApplication::translate("MainWindow", "Qt 版本: %1").arg(facts.qtVersion.toHtmlEscaped()));
    text += sdkLines(facts.sdk);
    text += row(QCoreApplication::translate("MainWindow", "使用的库及其许可证:"));
    text += QStringLiteral("<table>");
    text += libraryRow(QStringLiteral("Qt"), facts.qtVersion, QStringLiteral("GNU LGPL v3"));
    text += libraryRow(QStringLiteral("OpenCV core"), facts.openCvVersion,
        apacheOpenCv ? QStringLiteral("Apache License 2.0") : QStringLiteral("BSD 3-Clause License"));
    text += libraryRow(QStringLiteral("cJSON"), facts.cJsonVersion, QStringLiteral("MIT License"));
    text += libraryRow(QStringLiteral("zlib"), facts.zlibVersion, QStringLiteral("zlib License"));
    text += QStringLiteral("</table>");
    return text;
}
