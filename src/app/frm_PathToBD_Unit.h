// The database-location dialog: shows the main window's database path, lets
// the user pick another .mdb file and stores the path in the configuration
// file. It never reopens the database; the new path takes effect at the next
// refresh, which reads the configuration file again.
#pragma once

#include "file_chooser.h"
#include "ui_frm_PathToBD.h"

#include <QDialog>
#include <memory>

class Tfrm_PathToBD : public QDialog, public Ui::Tfrm_PathToBD {
    Q_OBJECT

public:
    // `pathToBD` is the main window's FPathToBD, read and changed in place;
    // `configFile` the configuration file's full path; `parent` the main
    // window, over which the dialog is centred each time it is shown.
    Tfrm_PathToBD(QString &pathToBD, const QString &configFile, QWidget *parent = nullptr);
    ~Tfrm_PathToBD() override;

    void FormShow();
    void spbt_OpenClick();
    void bbtn_OKClick();

    // The file chooser; lives as long as the dialog so that each run starts
    // from the name last confirmed in it. Tests put their own in its place.
    std::unique_ptr<platform::FileChooser> OpenDialog;

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString &FPathToBD;
    const QString m_configFile;
};

extern Tfrm_PathToBD *frm_PathToBD;
