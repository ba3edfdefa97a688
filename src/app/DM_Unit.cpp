#include "DM_Unit.h"

#include "connection.h"
#include "data_source.h"
#include "dataset.h"
#include "error_report.h"
#include "field.h"
#include "file_lookup.h"
#include "frm_Main_Unit.h"
#include "image_view.h"
#include "picture_file.h"
#include "stock_queries.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPalette>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

TDM *DM = nullptr;

namespace {

// The persistent field lists, in field order (the grids' column order).
// A width of 0 leaves the kind's default; fields without a title have none
// in the grid either.
using K = db::FieldKind;
constexpr bool Shown = true;
constexpr bool Hidden = false;

struct FieldDecl {
    db::Field *TDM::*member;
    db::FieldDef def;
};

const FieldDecl kSverlaFields[] = {
    {&TDM::dtset_SverlaID, {u"ID"_s, K::AutoIncrement, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_SverlaType, {u"Type"_s, K::WideText, 200, u"Тип сверла"_s, 25, Shown}},
    {&TDM::dtset_SverlaKod, {u"Kod"_s, K::WideText, 150, u"Код"_s, 25, Shown}},
    {&TDM::dtset_SverlaDiam_Sverla, {u"Diam_Sverla"_s, K::Float, 0, u"Диам."_s, 10, Shown}},
    {&TDM::dtset_SverlaDiam_Hvost, {u"Diam_Hvost"_s, K::Float, 0, u"Диам. хв."_s, 10, Shown}},
    {&TDM::dtset_SverlaL_Instr, {u"L_Instr"_s, K::Integer, 0, u"Длина"_s, 10, Shown}},
    {&TDM::dtset_SverlaL_reza, {u"L_reza"_s, K::Integer, 0, u"Длина реза"_s, 10, Shown}},
    {&TDM::dtset_SverlaN_zub, {u"N_zub"_s, K::Integer, 0, u""_s, 12, Hidden}},
    {&TDM::dtset_SverlaK_vo_New, {u"K_vo_New"_s, K::Integer, 0, u"К-во новый"_s, 12, Shown}},
    {&TDM::dtset_SverlaK_vo_BU, {u"K_vo_BU"_s, K::Integer, 0, u"К-во БУ"_s, 12, Shown}},
    {&TDM::dtset_SverlaK_vo_Dolg, {u"K_vo_Dolg"_s, K::Integer, 0, u"К-во долг"_s, 12, Shown}},
    {&TDM::dtset_SverlaK_vo_Vozvrat, {u"K_vo_Vozvrat"_s, K::Integer, 0, u""_s, 14, Hidden}},
    {&TDM::dtset_SverlaPikcher, {u"Pikcher"_s, K::WideText, 250, u""_s, 0, Hidden}},
    {&TDM::dtset_SverlaPrim, {u"Prim"_s, K::Memo, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_SverlaName, {u"Name"_s, K::WideText, 250, u"Фирма"_s, 22, Shown}},
    {&TDM::dtset_SverlaID_Firma, {u"ID_Firma"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_SverlaKorob, {u"Korob"_s, K::WideText, 100, u"Короб"_s, 18, Shown}},
};

const FieldDecl kFrezyFields[] = {
    {&TDM::dtset_FrezyID, {u"ID"_s, K::AutoIncrement, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_FrezyType, {u"Type"_s, K::WideText, 200, u"Тип фрезы"_s, 20, Shown}},
    {&TDM::dtset_FrezyKod, {u"Kod"_s, K::WideText, 250, u"Код"_s, 30, Shown}},
    {&TDM::dtset_FrezyDiam_Frez, {u"Diam_Frez"_s, K::Float, 0, u"Диам."_s, 0, Shown}},
    {&TDM::dtset_FrezyL_Reza, {u"L_Reza"_s, K::Float, 0, u"Длина реза"_s, 0, Shown}},
    {&TDM::dtset_FrezyDiam_Hvost, {u"Diam_Hvost"_s, K::Float, 0, u"Диам. хвост."_s, 0, Shown}},
    {&TDM::dtset_FrezyL_Instr, {u"L_Instr"_s, K::Float, 0, u"Длина инстр."_s, 0, Shown}},
    {&TDM::dtset_FrezyN_zub, {u"N_zub"_s, K::Float, 0, u"Число зуб."_s, 0, Shown}},
    {&TDM::dtset_FrezyR_FAS_instr, {u"R_FAS_instr"_s, K::WideText, 50, u"R/Фаска инстр."_s, 12, Shown}},
    {&TDM::dtset_FrezyK_vo_New, {u"K_vo_New"_s, K::Integer, 0, u"К-во НОВЫЙ"_s, 0, Shown}},
    {&TDM::dtset_FrezyK_vo_BU, {u"K_vo_BU"_s, K::Integer, 0, u"К-во БУ"_s, 0, Shown}},
    {&TDM::dtset_FrezyK_vo_DOLG, {u"K_vo_DOLG"_s, K::Integer, 0, u"К-во ДОЛГ"_s, 0, Shown}},
    {&TDM::dtset_FrezyK_vo_Vozvrat, {u"K_vo_Vozvrat"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_FrezyPikcher, {u"Pikcher"_s, K::WideText, 250, u""_s, 0, Hidden}},
    {&TDM::dtset_FrezyPrim, {u"Prim"_s, K::Memo, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_FrezyName, {u"Name"_s, K::WideText, 250, u"Фирма"_s, 15, Shown}},
    {&TDM::dtset_FrezyID_Firma, {u"ID_Firma"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_FrezyKorob, {u"Korob"_s, K::WideText, 100, u"Короб"_s, 30, Shown}},
};

const FieldDecl kDerjFields[] = {
    {&TDM::dtset_DerjID, {u"ID"_s, K::AutoIncrement, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_DerjDerj_Name, {u"Derj_Name"_s, K::WideText, 250, u"Тип державки"_s, 50, Shown}},
    {&TDM::dtset_DerjKod, {u"Kod"_s, K::WideText, 250, u"Код"_s, 30, Shown}},
    {&TDM::dtset_DerjK_vo_NEW, {u"K_vo_NEW"_s, K::Integer, 0, u"К-во НОВЫЙ"_s, 0, Shown}},
    {&TDM::dtset_DerjK_vo_BU, {u"K_vo_BU"_s, K::Integer, 0, u"К-во БУ"_s, 0, Shown}},
    {&TDM::dtset_DerjK_vo_Dolg, {u"K_vo_Dolg"_s, K::Integer, 0, u"К-во ДОЛГ"_s, 0, Shown}},
    {&TDM::dtset_DerjK_vo_Vozvrat, {u"K_vo_Vozvrat"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_DerjID_Firma, {u"ID_Firma"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_DerjPikcher, {u"Pikcher"_s, K::WideText, 250, u""_s, 0, Hidden}},
    {&TDM::dtset_DerjPrim, {u"Prim"_s, K::Memo, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_DerjName, {u"Name"_s, K::WideText, 250, u"ФИРМА"_s, 20, Shown}},
    {&TDM::dtset_DerjKorob, {u"Korob"_s, K::WideText, 100, u"КОРОБ"_s, 30, Shown}},
};

const FieldDecl kPlastFields[] = {
    {&TDM::dtset_PlastID, {u"ID"_s, K::AutoIncrement, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_PlastNaimenovanie, {u"Naimenovanie"_s, K::WideText, 250, u"Тип пластины"_s, 40, Shown}},
    {&TDM::dtset_PlastKod, {u"Kod"_s, K::WideText, 150, u"КОД"_s, 40, Shown}},
    {&TDM::dtset_PlastK_vo_NEW, {u"K_vo_NEW"_s, K::Integer, 0, u"К-во НОВЫЙ"_s, 0, Shown}},
    {&TDM::dtset_PlastK_vo_BU, {u"K_vo_BU"_s, K::Integer, 0, u"К-во БУ"_s, 0, Shown}},
    {&TDM::dtset_PlastK_vo_Vozvrat, {u"K_vo_Vozvrat"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_PlastK_vo_Dolg, {u"K_vo_Dolg"_s, K::Integer, 0, u"К-во ДОЛГ"_s, 0, Shown}},
    {&TDM::dtset_PlastID_Firma, {u"ID_Firma"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_PlastPikcher, {u"Pikcher"_s, K::WideText, 250, u""_s, 0, Hidden}},
    {&TDM::dtset_PlastPrim, {u"Prim"_s, K::Memo, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_PlastName, {u"Name"_s, K::WideText, 250, u"Фирма"_s, 20, Shown}},
    {&TDM::dtset_PlastKorob, {u"Korob"_s, K::WideText, 100, u"КОРОБ"_s, 30, Shown}},
};

const FieldDecl kDolgiFields[] = {
    {&TDM::dtset_DolgiID, {u"ID"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_DolgiNomer_Zap, {u"Nomer_Zap"_s, K::Integer, 0, u"№ зап."_s, 0, Shown}},
    {&TDM::dtset_DolgiTabl_Name, {u"Tabl_Name"_s, K::WideText, 255, u"Тип инстр"_s, 25, Shown}},
    {&TDM::dtset_DolgiKoD, {u"KoD"_s, K::WideText, 255, u"КОД"_s, 30, Shown}},
    {&TDM::dtset_DolgiID_Tabl, {u"ID_Tabl"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_DolgiDate, {u"Date"_s, K::DateTime, 0, u"Дата когда брал"_s, 0, Shown}},
    {&TDM::dtset_DolgiFIO, {u"FIO"_s, K::WideText, 255, u"ФИО опер."_s, 30, Shown}},
    {&TDM::dtset_DolgiK_vo, {u"K_vo"_s, K::Integer, 0, u"К-во"_s, 0, Shown}},
    {&TDM::dtset_DolgiInstr_is_BU, {u"Instr_is_BU"_s, K::Boolean, 0, u"Инстр. БУ"_s, 0, Shown}},
    {&TDM::dtset_DolgiFIO_AdminBD, {u"FIO_AdminBD"_s, K::WideText, 255, u"ФИО кто внес запись"_s, 30, Shown}},
    {&TDM::dtset_DolgiFoto, {u"Foto"_s, K::WideText, 255, u""_s, 0, Hidden}},
    {&TDM::dtset_DolgiPikcher, {u"Pikcher"_s, K::WideText, 255, u""_s, 0, Hidden}},
    {&TDM::dtset_DolgiID_Instr, {u"ID_Instr"_s, K::Integer, 0, u""_s, 0, Hidden}},
    {&TDM::dtset_DolgiID_People, {u"ID_People"_s, K::Integer, 0, u""_s, 0, Hidden}},
};

struct DataSetDecl {
    db::DataSet *TDM::*member;
    const char *name;
    const char *commandText;
    const FieldDecl *fields;
    std::size_t fieldCount;
    void (TDM::*afterScroll)(db::DataSet *);
};

// Page order: the order of creation, opening and closing.
const DataSetDecl kDataSets[] = {
    {&TDM::dtset_Sverla, "dtset_Sverla", queries::kSverlaQuery, kSverlaFields, std::size(kSverlaFields), &TDM::dtset_SverlaAfterScroll},
    {&TDM::dtset_Frezy, "dtset_Frezy", queries::kFrezyQuery, kFrezyFields, std::size(kFrezyFields), &TDM::dtset_FrezyAfterScroll},
    {&TDM::dtset_Derj, "dtset_Derj", queries::kDerjQuery, kDerjFields, std::size(kDerjFields), &TDM::dtset_DerjAfterScroll},
    {&TDM::dtset_Plast, "dtset_Plast", queries::kPlastQuery, kPlastFields, std::size(kPlastFields), &TDM::dtset_PlastAfterScroll},
    {&TDM::dtset_Dolgi, "dtset_Dolgi", queries::kDolgiQuery, kDolgiFields, std::size(kDolgiFields), &TDM::dtset_DolgiAfterScroll},
};

struct DataSourceDecl {
    db::DataSource *TDM::*member;
    const char *name;
    db::DataSet *TDM::*dataSet;
};

const DataSourceDecl kDataSources[] = {
    {&TDM::ds_Sverla, "ds_Sverla", &TDM::dtset_Sverla},
    {&TDM::ds_Frezy, "ds_Frezy", &TDM::dtset_Frezy},
    {&TDM::ds_Derj, "ds_Derj", &TDM::dtset_Derj},
    {&TDM::ds_Plast, "ds_Plast", &TDM::dtset_Plast},
    {&TDM::ds_Dolg, "ds_Dolg", &TDM::dtset_Dolgi},
};

// Names a database file but is never used: OpenBD replaces it before any
// connect.
const char kDesignTimeConnectionString[] =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=Tools.mdb;Mode=Read;Persist Security Info=False";

} // namespace

TDM::TDM(QObject *parent)
    : QObject(parent)
{
    setObjectName(u"DM"_s);

    ADOConnection1 = new db::Connection(this);
    // The database path is checked with the same lookup before it is opened.
    ADOConnection1->setPathResolver(&platform::resolvePath);
    ADOConnection1->setObjectName(u"ADOConnection1"_s);
    ADOConnection1->setConnectionString(QString::fromLatin1(kDesignTimeConnectionString));

    for (const DataSetDecl &decl : kDataSets) {
        auto *dataSet = new db::DataSet(QString::fromLatin1(decl.name), ADOConnection1, this);
        dataSet->setCommandText(QString::fromLatin1(decl.commandText));
        for (std::size_t i = 0; i < decl.fieldCount; ++i)
            this->*(decl.fields[i].member) = dataSet->addField(decl.fields[i].def);
        connect(dataSet, &db::DataSet::afterScroll, this, decl.afterScroll);
        this->*(decl.member) = dataSet;
    }

    for (const DataSourceDecl &decl : kDataSources) {
        auto *source = new db::DataSource(this->*(decl.dataSet), this);
        source->setObjectName(QString::fromLatin1(decl.name));
        this->*(decl.member) = source;
    }
}

TDM::~TDM()
{
    if (DM == this)
        DM = nullptr;
}

// The path goes in double quotes, a quote in it doubled: unquoted, a ';' in
// the path would end the value and the rest would be read as other keys.
QString TDM::connectionStringFor(const QString &path)
{
    QString quoted = path;
    quoted.replace(u'"', u"\"\""_s);
    return u"Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=\""_s + quoted
        + u"\";Mode=Read;Persist Security Info=True"_s;
}

void TDM::OpenBD(const QString &path)
{
    if (path.isEmpty())
        return;
    ADOConnection1->setConnectionString(connectionStringFor(path));
    ADOConnection1->open();
    // The debts' query, the longest, runs on the second processor beside the
    // others and is taken up in its turn; whatever ends the open stops it.
    ADOConnection1->runAhead(dtset_Dolgi->commandText());
    struct StopAhead {
        db::Connection *connection;
        ~StopAhead() { connection->dropAhead(); }
    } stopAhead{ADOConnection1};
    for (const DataSetDecl &decl : kDataSets)
        (this->*(decl.member))->open();
}

void TDM::CloseBD()
{
    for (const DataSetDecl &decl : kDataSets)
        (this->*(decl.member))->close();
    ADOConnection1->close();
}

db::DataSource *TDM::dataSourceByName(const QString &name) const
{
    for (const DataSourceDecl &decl : kDataSources) {
        if (name.compare(QLatin1StringView(decl.name), Qt::CaseInsensitive) == 0)
            return this->*(decl.member);
    }
    return nullptr;
}

namespace {

ImageView *pictureView(TDM::PictureTarget target)
{
    switch (target) {
    case 1: return frm_Main->im_PicSv;
    case 2: return frm_Main->im_PicFreza;
    case 3: return frm_Main->im_Pic_Derj;
    case 4: return frm_Main->im_Plastina;
    case 5: return frm_Main->im_PicDolg_Instr;
    case 6: return frm_Main->im_PicDolg_Operator;
    default: return nullptr;
    }
}

// The database path up to and including its last separator: "\" or the
// drive colon of a Windows path, or "/" of a path on this system. Empty
// when there is none: the pictures are then looked up from the current
// folder, as the database is.
QString folderPart(const QString &path)
{
    return path.left(std::max(platform::fileNameStart(path), path.lastIndexOf(u':') + 1));
}

// Red when nothing of that kind is left, else the window background.
void paintStock(QLineEdit *edit, const db::Field *quantity)
{
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, quantity->asInteger() < 1 ? QColor(0xFF, 0, 0)
                                                                : QGuiApplication::palette().color(QPalette::Base));
    edit->setPalette(palette);
}

} // namespace

void TDM::ShowPicture(const QString &name, PictureTarget target)
{
    if (!frm_Main || frm_Main->mm_StopPic->isChecked())
        return;
    ImageView *view = pictureView(target);
    if (!view)
        return;
    // A name leading out of the picture folder names no file.
    const QString picture = platform::pathInFolder(folderPart(frm_Main->FPathToBD) + u"Images\\Instrument\\"_s, name);
    const QString fallback = frm_Main->FAppDir + u"Images\\NoFoto\\null_img_1.jpg"_s;
    QString chosen;
    if (platform::fileExists(picture))
        chosen = picture;
    else if (platform::fileExists(fallback))
        chosen = fallback;
    if (chosen.isEmpty()) {
        view->setVisible(false);
        view->setAccessibleDescription(noPictureText(name));
        return;
    }
    loadPicture(view, chosen);
    view->setVisible(true);
    view->setAccessibleDescription(chosen == picture ? name : noPictureText(name));
}

void TDM::showPictureReporting(const QString &name, PictureTarget target)
{
    runReportingErrors([&] { ShowPicture(name, target); });
}

void TDM::showToolPanel(const db::Field *picture, PictureTarget target, QLineEdit *newEdit,
                        const db::Field *newStock, QLineEdit *usedEdit, const db::Field *usedStock)
{
    showPictureReporting(picture->asString(), target);
    paintStock(newEdit, newStock);
    paintStock(usedEdit, usedStock);
}

// Without a main window (the data module alone, as the open benchmark and
// the data module's tests use it) there is no panel to fill.
void TDM::dtset_SverlaAfterScroll(db::DataSet *)
{
    if (frm_Main)
        showToolPanel(dtset_SverlaPikcher, 1, frm_Main->dbed_SV_K_vo_NEW, dtset_SverlaK_vo_New,
                      frm_Main->dbed_SV_K_vo_BU, dtset_SverlaK_vo_BU);
}

void TDM::dtset_FrezyAfterScroll(db::DataSet *)
{
    if (frm_Main)
        showToolPanel(dtset_FrezyPikcher, 2, frm_Main->dbed_FR_K_vo_NEW, dtset_FrezyK_vo_New,
                      frm_Main->dbed_FR_K_vo_BU, dtset_FrezyK_vo_BU);
}

void TDM::dtset_DerjAfterScroll(db::DataSet *)
{
    if (frm_Main)
        showToolPanel(dtset_DerjPikcher, 3, frm_Main->dbed_DRJ_K_vo_NEW, dtset_DerjK_vo_NEW,
                      frm_Main->dbed_DRJ_K_vo_BU, dtset_DerjK_vo_BU);
}

void TDM::dtset_PlastAfterScroll(db::DataSet *)
{
    if (frm_Main)
        showToolPanel(dtset_PlastPikcher, 4, frm_Main->dbed_PL_K_vo_NEW, dtset_PlastK_vo_NEW,
                      frm_Main->dbed_PL_K_vo_BU, dtset_PlastK_vo_BU);
}

void TDM::dtset_DolgiAfterScroll(db::DataSet *)
{
    if (!frm_Main)
        return;
    showPictureReporting(dtset_DolgiPikcher->asString(), 5);
    showPictureReporting(dtset_DolgiFoto->asString(), 6);
    frm_Main->ed_Dolg_Tp_Instr->setText(dtset_DolgiInstr_is_BU->asBoolean() ? u"БУ"_s : u"НОВЫЙ"_s);
}
