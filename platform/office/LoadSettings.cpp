#include "platform/office/LoadSettings.h"

#include "platform/office/OfficeProcess.h"
#include "platform/office/UnoOffice.h"

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XNameReplace.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/util/XChangesBatch.hpp>

#include <initializer_list>
#include <utility>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace platform::office {

namespace {

using Setting = std::pair<const char *, uno::Any>;

void setGroup(const Reference<lang::XMultiServiceFactory> &provider, const char *node,
              std::initializer_list<Setting> settings)
{
    beans::NamedValue path;
    path.Name = "nodepath";
    path.Value <<= rtl::OUString::createFromAscii(node);
    uno::Sequence<uno::Any> args(1);
    args[0] <<= path;
    const Reference<container::XNameReplace> group(
        provider->createInstanceWithArguments("com.sun.star.configuration.ConfigurationUpdateAccess", args),
        UNO_QUERY_THROW);
    for (const Setting &setting : settings)
        group->replaceByName(rtl::OUString::createFromAscii(setting.first), setting.second);
    Reference<util::XChangesBatch>(group, UNO_QUERY_THROW)->commitChanges();
}

// The office's values for "Recalculation on File Load".
constexpr sal_Int32 kNeverRecalculate = 1;

} // namespace

void applyLoadSettings(const Reference<uno::XComponentContext> &office)
{
    try {
        const Reference<lang::XMultiServiceFactory> provider = configuration::theDefaultProvider::get(office);
        // Workbooks of Excel 2007 and later (.xlsx, .xlsm, .xlsb) and of the
        // open document format: stored results stand. What has no stored
        // result is computed when read.
        setGroup(provider, "/org.openoffice.Office.Calc/Formula/Load",
                 {{"OOXMLRecalcMode", uno::Any(kNeverRecalculate)}, {"ODFRecalcMode", uno::Any(kNeverRecalculate)}});
        // Macro modules of .xls and OOXML workbooks. Read, they become the
        // targets of the cells' user-defined functions, which then are
        // computed again (as errors, macros never running) whenever the
        // modules arrive, depending on what the office had loaded before.
        // Unread, those cells keep their stored results.
        setGroup(provider, "/org.openoffice.Office.Calc/Filter/Import/VBA",
                 {{"Load", uno::Any(false)}, {"Executable", uno::Any(false)}});
    } catch (const uno::RuntimeException &) {
        throw; // the office is gone: the caller knows what to do
    } catch (const uno::Exception &e) {
        throw OfficeFailure(QStringLiteral("LibreOffice's load settings cannot be set: %1").arg(toQString(e.Message)));
    }
}

} // namespace platform::office
