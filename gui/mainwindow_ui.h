// The main window's generated form, for the main window's members that are
// defined outside app/ (uic finds mainwindow.ui next to this header).
#ifndef TAVIX_MAINWINDOW_UI_H
#define TAVIX_MAINWINDOW_UI_H

#include "ui_mainwindow.h"

#endif
