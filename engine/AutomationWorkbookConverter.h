#pragma once

#include "engine/WorkbookConverter.h"

// Drives the application registered as "excel.application" by late-bound
// calls by name.
class AutomationWorkbookConverter : public WorkbookConverter
{
public:
    void start() override;
    void cancelStart() override;
    void prepare() override;
    void dismiss() override;
    void hide() override;
    WorkbookRef open(const QString &path) override;
    void quit() override;
    void release() override;
    bool isStarted() const override { return bool(m_application); }

private:
    platform::AutomationObject &application();

    platform::AutomationRef m_application;
};
