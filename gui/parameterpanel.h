// The parameter panel: the parameter tabs, the property table with its Set buttons,
// the remembered values and edited flag, parameter files, and the command channel.
#ifndef TAVIX_PARAMETERPANEL_H
#define TAVIX_PARAMETERPANEL_H

#include <QObject>
#include <QString>

#include <array>
#include <memory>

class CameraListPanel;
class CommandChannel;
class QAction;
class QComboBox;
class QTabWidget;
class QTableWidget;
class QWidget;
class WorkThread;

// What a row sends is the catalogue's business (core/paramcatalogue.h) and the
// file layout the parameter file's (core/paramfile.h): the panel reads its
// widgets, calls those, and sends or shows the result.
class ParameterPanel : public QObject {
    Q_OBJECT

public:
    // The form's widgets this panel runs; the window keeps owning them.
    struct Widgets {
        QWidget *window = nullptr; // parent of the file dialogs and the file message boxes
        QTabWidget *tabs = nullptr;
        QTableWidget *table = nullptr;
        QComboBox *sensorMode = nullptr; // SC4210 slave or master
        QComboBox *burnIn = nullptr;
        QAction *save = nullptr;
        QAction *saveAs = nullptr;
    };

    // Number of remembered parameter texts: rows 2 to 24 of the property table.
    static constexpr int RememberedCount = 23;

    // Selects the first sensor mode, hides the tabs and leaves Save refused.
    ParameterPanel(
        const Widgets &widgets, WorkThread &worker, CameraListPanel &cameras, QObject *parent = nullptr);
    ~ParameterPanel() override;

    // Builds the property table for the selected camera and sends the parameter
    // query; returns 1 when done.
    int initCameraSetView();
    void showTabs();
    // After the form's texts were set again in another language: the Set
    // buttons, the names' tool tips and the columns' widths follow them.
    void retranslate();
    // Width of the table's columns when the value column shows an IPv4 address,
    // a 16-character camera name and a 10-digit number in full, no name is
    // shortened and the Set buttons are in view.
    int preferredTableWidth() const;
    // True once a Set of rows 2 to 29 got past the empty-value check.
    bool edited() const { return editedFlag; }
    CommandChannel &commandChannel() { return *channel; }

    // Parameter files: load into the table, save the remembered values.
    void openParameterFile();
    // Loads `path` without asking (a recent file). False, with the box that
    // says why, when it could not be loaded.
    bool loadParameterFile(const QString &path);
    void saveParameterFile();
    // Save as: like Save, in a file the operator names; the dialog starts in
    // the folder of the file used last.
    void saveParameterFileAs();
    // The frame-rate actions, the SC4210 sensor mode and the burn-in switch.
    void sendFrameRate(quint8 framesPerSecond);
    void sendSensorMode();
    void sendBurnIn();

signals:
    // A parameter file was loaded from or saved to `path`.
    void fileUsed(const QString &path);

public slots:
    // The Set button of a row: checks the value, remembers it and sends it.
    void slotSetBtnClicked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showReportValue(int row, const QString &text);
    void saveTo(const QString &path);
    // Values first: the value column gets what its longest expected text needs,
    // the Set buttons what their text needs, the names the rest (a shortened
    // name shows in full as the cell's tool tip).
    void fitColumns();
    void setLabelToolTips();
    int nameColumnNeed() const;
    int valueColumnNeed() const;
    int setColumnNeed() const;

    Widgets form;
    WorkThread &worker;
    CameraListPanel &cameras;
    std::unique_ptr<CommandChannel> channel;
    QString selectedCamIp;
    std::array<QString, RememberedCount> rememberedValues; // index: table row - 2
    bool editedFlag = false;
    QString lastFile; // loaded or saved last
};

#endif
