#include "report/ReportOutput.h"

bool ReportOutput::Open(std::string& error) {
    if (std::string reason; !file_.Create(reason)) {
        error = "cannot write the report " + path_ + " (" + reason + ")";
        return false;
    }
    return true;
}

bool ReportOutput::Commit(std::string& error) {
    const std::string text = text_.str();
    std::string reason;
    if (!file_.Write(text, reason) || !file_.Commit(reason)) {
        error = "cannot write the report " + path_ + " (" + reason + ")";
        return false;
    }
    return true;
}
