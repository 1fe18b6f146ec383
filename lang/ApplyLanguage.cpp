// LoadLanguage: every text of a language file onto the control it belongs to, in the order of
// the keys, with the copies the main window keeps in step (b_quit, the Mode menu, the ID3v2
// page's labels, the status bar).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <exception>

#include "description/Cust_ext.h"
#include "lang/LangForm.h"
#include "mp3/MP3Panel.h"
#include "packer/ZipOptZ.h"
#include "packer/ZipUnzip.h"
#include "platform/qt/Text.h"
#include "shell/TMain.h"

namespace tavrin {

void TLangForm::LoadLanguage(const std::string& path) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        LanguageFile file = LanguageFile::Open(path);
        for (const LanguageKey& key : LanguageKeys()) Apply(key.id, file.Text(key.id));
        // The last item of the custom-names menu carries the new label.
        if (Custom_ext) Custom_ext->GenerateCustMenu();
        // Longer captions may need wider pages.
        main_.FitPageWidths();
    } catch (const std::exception&) {
        questions_.ShowNotice("Err language file; default English");
    }
    QApplication::restoreOverrideCursor();
}

void TLangForm::Apply(LangText id, const std::string& utf8) {
    const QString text = Utf8Text(utf8);
    TMain& m = main_;
    Mp3TagPanel& mp3 = *m.MP3Panel;
    TFrmZipOpt& zip = *m.FrmZipOpt;
    TFrmUnzip& unzip = *m.FrmUnzip;
    TCustom_ext* c = Custom_ext;  // created after this form
    using enum LangText;
    // clang-format off
    switch (id) {
        case View: m.b_view->setText(text); break;
        case FilenameHint: m.b_filename->setToolTip(text); break;
        case Extract: m.b_unzip->setText(text); break;
        case SaveInfo: m.b_save->setText(text); break;
        case AutoHint: m.b_auto->setToolTip(text); break;
        case AutoView: m.b_autoview->setText(text); break;
        case ReadmeHint: m.b_readme->setToolTip(text); break;
        case AllCustom:
            m.State().AllCustomLabel = utf8;
            m.b_custom->setToolTip(text);
            m.b_custom->setText(text);
            break;
        case MenuFile: m.File1->setText(text); break;
        case MenuExit: m.Exit1->setText(text); break;
        case TabDiz: m.b_dizmode->setText(text); break;
        case TabZip: m.b_zipmode->setText(text); break;
        case TabFil:
            m.b_filemode->setText(text);
            m.b_quit->setText(m.Exit1->text());
            break;
        case MenuMode:
            m.Mode1->setText(text);
            m.DIZ1->setText(m.b_dizmode->text());
            m.ZIP1->setText(m.b_zipmode->text());
            m.Filemanager1->setText(m.b_filemode->text());
            break;
        case MenuOptions: m.Options1->setText(text); break;
        case MenuFont: m.M_Font->setText(text); break;
        case MenuWordWrap: m.M_WW->setText(text); break;
        case MenuHiddenFiles: m.Hiddenfiles1->setText(text); break;
        case MenuCustomFile: m.Customfile1->setText(text); break;
        case MenuChangeLanguage: m.Changelanguage1->setText(text); break;
        case MenuHelp: m.Help1->setText(text); break;
        case MenuUsing: m.ManagingZIPfiles1->setText(text); break;
        case MenuAbout: m.About1->setText(text); break;
        case PackerStep1: m.Lstep1->setText(text); break;
        case PackerStep2: m.Lstep2->setText(text); break;
        case PackerStep3: m.Lstep3->setText(text); break;
        case PackerDrop: m.Ldrop->setText(text); break;
        case PackerSaveTo: m.btnSaveTo->setText(text); break;
        case PackerOptions: m.b_ZipOpt->setText(text); break;
        case Mp3Choose:
            mp3.Ck_V1->setText(text);
            mp3.Ck_V2->setText(mp3.Ck_V1->text());
            break;
        case Mp3Artist:
            mp3.Label1->setText(text);
            mp3.Lab1->setText(mp3.Label1->text());
            break;
        case Mp3Title:
            mp3.Label2->setText(text);
            mp3.Lab2->setText(mp3.Label2->text());
            break;
        case Mp3Album:
            mp3.Label3->setText(text);
            mp3.Lab3->setText(mp3.Label3->text());
            break;
        case Mp3Year:
            mp3.Label4->setText(text);
            mp3.Lab4->setText(mp3.Label4->text());
            break;
        case Mp3Genre:
            mp3.Label5->setText(text);
            mp3.Lab5->setText(mp3.Label5->text());
            break;
        case Mp3Comment:
            mp3.Label6->setText(text);
            mp3.Lab6->setText(mp3.Label6->text());
            break;
        case Mp3FileSize: mp3.L1->setText(text); break;
        case Mp3BitRate: mp3.L2->setText(text); break;
        case Mp3Mode: mp3.L3->setText(text); break;
        case Mp3MpegType: mp3.L4->setText(text); break;
        case Mp3SampleRate: mp3.L5->setText(text); break;
        case Mp3Duration: mp3.L6->setText(text); break;
        case Mp3Encoder: mp3.L7->setText(text); break;
        case Mp3CopyTo: mp3.B_CopyTo->setText(text); break;
        case Mp3CopyFrom: mp3.B_CopyFrom->setText(text); break;
        case FmView: m.b_preview->setText(text); break;
        case FmCopy: m.b_copy->setText(text); break;
        case FmMove: m.b_move->setText(text); break;
        case FmDelete:
            m.b_delete->setText(text);
            // The status bar's first panel names the lookup choice: the Auto select hint.
            m.StatusPanel0->setText(m.b_auto->toolTip().toUpper());
            break;
        case ZipOptCaption: zip.setWindowTitle(text); break;
        case ZipOptGroup: zip.GroupBox2->setTitle(text); break;
        case ZipOptSystem: zip.chSystem->setText(text); break;
        case ZipOptVolume: zip.chVolume->setText(text); break;
        case ZipOptJunkDir: zip.chJunkDir->setText(text); break;
        case ZipOptRecurse: zip.chRecurseDir->setText(text); break;
        case ZipOptLatestTime: zip.chLatestTime->setText(text); break;
        case ZipOptLevel: zip.Label2->setText(text); break;
        case ZipOptGrow: zip.chGrow->setText(text); break;
        case ZipOptMove: zip.chMove->setText(text); break;
        case ZipOptDeleteEntries: zip.chDeleteEntries->setText(text); break;
        case ZipOptUpdate: zip.chUpdate->setText(text); break;
        case ZipOptFreshen: zip.chFreshen->setText(text); break;
        case ZipOptDefault: zip.B_ZipDefault->setText(text); break;
        case ZipOptSave: zip.B_SetZipOpt->setText(text); break;
        case ZipOptClose: zip.B_Close->setText(text); break;
        case UnzipCaption: unzip.setWindowTitle(text); break;
        case UnzipSize: unzip.Label2->setText(text); break;
        case UnzipDate: unzip.Label3->setText(text); break;
        case UnzipFilename: unzip.Label4->setText(text); break;
        case UnzipPathTo: unzip.Label1->setText(text); break;
        case UnzipAll: unzip.R_all->setText(text); break;
        case UnzipSelected: unzip.R_sel->setText(text); break;
        case UnzipCancel: unzip.B_Abort->setText(text); break;
        case UnzipExtractTo: unzip.Label5->setText(text); break;
        case UnzipOptions: unzip.B_Options->setText(text); break;
        case UnzipOptGroup: unzip.GroupBox1->setTitle(text); break;
        case UnzipOnlyNewer: unzip.chExtractOnlyNewer->setText(text); break;
        case UnzipNewerOrNew: unzip.chUFlag->setText(text); break;
        case UnzipOverwrite: unzip.chOFlag->setText(text); break;
        case UnzipCaseInsensitive: unzip.chC_flag->setText(text); break;
        case UnzipWithPath: unzip.chDFlag->setText(text); break;
        case CustomCaption: if (c) c->setWindowTitle(text); break;
        case CustomBoxRight: if (c) c->Label1->setText(text); break;
        case CustomLabelUp: if (c) c->Label2->setText(text); break;
        case CustomAdd: if (c) c->B_Add->setText(text); break;
        case CustomRemove: if (c) c->B_Remove->setText(text); break;
        case CustomLabelBott: if (c) c->Label3->setText(text); break;
        case CustomSave: if (c) c->B_saveprefs->setText(text); break;
        case CustomClose: if (c) c->B_OK->setText(text); break;
        case LangCaption: setWindowTitle(text); break;
        case LangLabelTop: Label1->setText(text); break;
        case LangLabelBott: Label2->setText(text); break;
        case LangDefault: B_Def->setText(text); break;
        case LangCancel: B_cancel->setText(text); break;
        case LangOK: B_OK->setText(text); break;
        case ConfirmCopy: m.State().ConfirmCopyText = utf8; break;
        case ConfirmMove: m.State().ConfirmMoveText = utf8; break;
        case FilesWord: m.State().FilesWordText = utf8; break;
        case MenuDescriptionGuide: m.M_Guide->setText(text); break;
    }
    // clang-format on
}

}  // namespace tavrin
