#include "settings/CSettingsDlg.h"

#include "res/Templates.h"

namespace glowdeck {

CSettingsDlg::CSettingsDlg(CGlowdeckApp& app) : TemplateDialog(Templates::settings()), m_app(app) {}

} // namespace glowdeck
