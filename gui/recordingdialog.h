// The recording/capture settings (录像/抓图): the snapshot format and how an
// image sequence is recorded. A dialog of its own, not modal; OK applies.
#ifndef TAVIX_RECORDINGDIALOG_H
#define TAVIX_RECORDINGDIALOG_H

#include "core/recordingplan.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QSpinBox;

class RecordingDialog : public QDialog {
    Q_OBJECT

public:
    explicit RecordingDialog(QWidget *parent = nullptr);

    // Shows `settings` in the fields.
    void setSettings(const recording::Settings &settings);
    // What the fields say now.
    recording::Settings settings() const;
    // The texts again, in the language now applied.
    void retranslate();

signals:
    // OK was pressed with these settings.
    void settingsChosen(const recording::Settings &settings);

private:
    void showStopFields();

    QLabel *formatLabel;
    QComboBox *format;
    QLabel *everyLabel;
    QSpinBox *every;
    QLabel *stopLabel;
    QComboBox *stop;
    QSpinBox *seconds;
    QSpinBox *frames;
    QLabel *where;
    QDialogButtonBox *buttons;
};

#endif
