// The clinic record system: start-up and end.
#include "app/Unitbinglidj.h"
#include "app/common/window_style.h"
#include "app/desktop_locale.h"
#include "app/forms/UnitBinglixq.h"
#include "app/translations/language.h"
#include "base/short_date_format.h"
#include "views/failure_reporting.h"

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    // Before any window or message: every text that the user reads is in the chosen language.
    const Translation translation(
        ChooseLanguage(qEnvironmentVariable("CLINIC_LANGUAGE"), QLocale::system().uiLanguages()));
    dates::SetShortDateFormat(DesktopShortDateFormat(QLocale::system()));
    TApplication::SetTitle(ApplicationTitle());
    QApplication::setWindowIcon(ApplicationIcon());
    try {
        // Creating the main window opens the tables; a failure there ends the program before
        // any window is shown.
        TFormQorvynabldjxt FormQorvynabldjxt;
        TFormblxq Formblxq(&FormQorvynabldjxt.DataSourceBingli);
        FormQorvynabldjxt.Formblxq = &Formblxq;
        FormQorvynabldjxt.showMaximized();
        return QApplication::exec();
    } catch (...) {
        return ReportStartupFailure(std::current_exception());
    }
}
