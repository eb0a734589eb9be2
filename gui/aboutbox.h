// The about box: version, build, Qt, the camera SDK in use and the libraries
// Tavix is built with, with their licences.
#ifndef TAVIX_ABOUTBOX_H
#define TAVIX_ABOUTBOX_H

#include "camera/sdkbinding.h"

#include <QString>

struct AboutFacts {
    QString commit; // the build's git commit; empty when it was built without git
    QString commitDate; // that commit's date, or the day of the build without git
    QString qtVersion; // the Qt library at run time
    SdkInfo sdk;
    QString openCvVersion;
    QString cJsonVersion;
    QString zlibVersion;
};

// The facts of this program as built and running.
AboutFacts currentAboutFacts();

// The box's title and its rich text, in the language applied (context "MainWindow").
QString aboutTitle();
QString aboutText(const AboutFacts &facts);

#endif
