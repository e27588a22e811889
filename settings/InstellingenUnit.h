#pragma once
// The settings dialog: the one holder of the four code templates, and the
// reading and writing of the settings file beside the program (or in the
// user's own copy where the program's folder takes no file).

#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TInstellingenForm : public QDialog
{
    Q_OBJECT
public:
    explicit TInstellingenForm(QWidget *parent = nullptr);

    // Loads the settings file into the four fields; a missing or unreadable
    // file leaves them as they are.
    void LeesInstellingen();
    // Writes the four fields to the settings file; a failure shows the error
    // box and nothing else is tried. Returns whether the file was written.
    bool SchrijfInstellingen();
    // The same without a box, for when the session is ending; a failure is
    // reported on standard error.
    bool writeSettingsQuietly();

    CodeTemplates templates() const;
    void setTemplates(const CodeTemplates &templates);

    static const CodeTemplates DefaultTemplates;

    // Where the settings file is read from and written to.
    SettingsPaths settingsFilePaths() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // The dialog's controls, by the names they carry as object names.
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *Edit1;
    QLineEdit *Edit2;
    QLineEdit *Edit3;
    QLineEdit *Edit4;
    QPushButton *BitBtn1;

    bool writeFile(const QString &path, QString *errorText) const;
};

extern TInstellingenForm *InstellingenForm;
