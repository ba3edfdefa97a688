// The data module: the one read-only connection to the tool database, the
// five data sets with their queries and persistent fields, and the data
// sources through which the main window's grids and bound controls show them.
#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
namespace db { class Connection; class DataSet; class DataSource; class Field; }

class TDM : public QObject {
    Q_OBJECT
public:
    explicit TDM(QObject *parent = nullptr);
    ~TDM() override;

    // Connects to the database file at `path` (any path) and opens the
    // five data sets in page order. Does nothing for an empty path. Errors
    // are not caught: the data sets opened before the failing step stay open
    // and the connection stays connected once it got so far.
    void OpenBD(const QString &path);
    // Closes the five data sets, then the connection.
    void CloseBD();

    // The connection string OpenBD sets for `path`.
    static QString connectionStringFor(const QString &path);

    // Looks a data source up by its component name ("ds_Sverla"); nullptr
    // when there is none. Forms resolve their bindings through it.
    db::DataSource *dataSourceByName(const QString &name) const;

    // Which image view of the main window a picture goes to: 1 drills,
    // 2 milling cutters, 3 insert holders, 4 inserts, 5 the lent tool and
    // 6 the worker on the debts page. Any other code selects no view.
    using PictureTarget = unsigned;

    // Loads the picture `name` from "Images\Instrument\" beside the database
    // (the folder part of frm_Main->FPathToBD, read anew every time) into the
    // target view, or the fallback "null_img_1.jpg" from "Images\NoFoto\"
    // beside the executable, and shows the view; hides it when neither file
    // exists. A name that would lead out of "Images\Instrument\" (a ".."
    // part, an absolute name) names no file. Does nothing while pictures are
    // switched off (mm_StopPic).
    // Throws platform::PictureError when the chosen file cannot be decoded;
    // the view then keeps its picture and visibility. A JPEG's body is
    // decoded after this returns (see loadPicture).
    void ShowPicture(const QString &name, PictureTarget target);

    db::Connection *ADOConnection1;

    db::DataSet *dtset_Sverla;
    db::DataSet *dtset_Frezy;
    db::DataSet *dtset_Derj;
    db::DataSet *dtset_Plast;
    db::DataSet *dtset_Dolgi;

    db::DataSource *ds_Sverla;
    db::DataSource *ds_Frezy;
    db::DataSource *ds_Derj;
    db::DataSource *ds_Plast;
    db::DataSource *ds_Dolg;

    // Drills
    db::Field *dtset_SverlaID;
    db::Field *dtset_SverlaType;
    db::Field *dtset_SverlaKod;
    db::Field *dtset_SverlaDiam_Sverla;
    db::Field *dtset_SverlaDiam_Hvost;
    db::Field *dtset_SverlaL_Instr;
    db::Field *dtset_SverlaL_reza;
    db::Field *dtset_SverlaN_zub;
    db::Field *dtset_SverlaK_vo_New;
    db::Field *dtset_SverlaK_vo_BU;
    db::Field *dtset_SverlaK_vo_Dolg;
    db::Field *dtset_SverlaK_vo_Vozvrat;
    db::Field *dtset_SverlaPikcher;
    db::Field *dtset_SverlaPrim;
    db::Field *dtset_SverlaName;
    db::Field *dtset_SverlaID_Firma;
    db::Field *dtset_SverlaKorob;

    // Milling cutters
    db::Field *dtset_FrezyID;
    db::Field *dtset_FrezyType;
    db::Field *dtset_FrezyKod;
    db::Field *dtset_FrezyDiam_Frez;
    db::Field *dtset_FrezyL_Reza;
    db::Field *dtset_FrezyDiam_Hvost;
    db::Field *dtset_FrezyL_Instr;
    db::Field *dtset_FrezyN_zub;
    db::Field *dtset_FrezyR_FAS_instr;
    db::Field *dtset_FrezyK_vo_New;
    db::Field *dtset_FrezyK_vo_BU;
    db::Field *dtset_FrezyK_vo_DOLG;
    db::Field *dtset_FrezyK_vo_Vozvrat;
    db::Field *dtset_FrezyPikcher;
    db::Field *dtset_FrezyPrim;
    db::Field *dtset_FrezyName;
    db::Field *dtset_FrezyID_Firma;
    db::Field *dtset_FrezyKorob;

    // Insert holders
    db::Field *dtset_DerjID;
    db::Field *dtset_DerjDerj_Name;
    db::Field *dtset_DerjKod;
    db::Field *dtset_DerjK_vo_NEW;
    db::Field *dtset_DerjK_vo_BU;
    db::Field *dtset_DerjK_vo_Dolg;
    db::Field *dtset_DerjK_vo_Vozvrat;
    db::Field *dtset_DerjID_Firma;
    db::Field *dtset_DerjPikcher;
    db::Field *dtset_DerjPrim;
    db::Field *dtset_DerjName;
    db::Field *dtset_DerjKorob;

    // Inserts
    db::Field *dtset_PlastID;
    db::Field *dtset_PlastNaimenovanie;
    db::Field *dtset_PlastKod;
    db::Field *dtset_PlastK_vo_NEW;
    db::Field *dtset_PlastK_vo_BU;
    db::Field *dtset_PlastK_vo_Vozvrat;
    db::Field *dtset_PlastK_vo_Dolg;
    db::Field *dtset_PlastID_Firma;
    db::Field *dtset_PlastPikcher;
    db::Field *dtset_PlastPrim;
    db::Field *dtset_PlastName;
    db::Field *dtset_PlastKorob;

    // Debts
    db::Field *dtset_DolgiID;
    db::Field *dtset_DolgiNomer_Zap;
    db::Field *dtset_DolgiTabl_Name;
    db::Field *dtset_DolgiKoD;
    db::Field *dtset_DolgiID_Tabl;
    db::Field *dtset_DolgiDate;
    db::Field *dtset_DolgiFIO;
    db::Field *dtset_DolgiK_vo;
    db::Field *dtset_DolgiInstr_is_BU;
    db::Field *dtset_DolgiFIO_AdminBD;
    db::Field *dtset_DolgiFoto;
    db::Field *dtset_DolgiPikcher;
    db::Field *dtset_DolgiID_Instr;
    db::Field *dtset_DolgiID_People;

private:
    // ShowPicture with its error shown in the default error report.
    void showPictureReporting(const QString &name, PictureTarget target);
    // A tool page's panel: its picture, then its two stock edits.
    void showToolPanel(const db::Field *picture, PictureTarget target, QLineEdit *newEdit,
                       const db::Field *newStock, QLineEdit *usedEdit, const db::Field *usedStock);

public slots:
    // Run whenever a data set's current record changes; they fill the
    // pages' detail panels: the picture (and on the debts page the worker's
    // photo and whether the tool was new or used) and, on the tool pages,
    // the stock edits red below 1. A picture that cannot be loaded is shown
    // in the default error report and the handler goes on, so the rest of
    // the panel still follows the record.
    void dtset_SverlaAfterScroll(db::DataSet *DataSet);
    void dtset_FrezyAfterScroll(db::DataSet *DataSet);
    void dtset_DerjAfterScroll(db::DataSet *DataSet);
    void dtset_PlastAfterScroll(db::DataSet *DataSet);
    void dtset_DolgiAfterScroll(db::DataSet *DataSet);
};

extern TDM *DM;
