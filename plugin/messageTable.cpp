#include "plugin/messageTable.h"

#include <maya/MStringResource.h>
#include <maya/MStringResourceId.h>

const MessageKey kMessageTable[20] = {
    msg::kYourIp,
    msg::kWsaStartError,
    msg::kClosingSocket,
    msg::kInitSocket,
    msg::kBindSocketError,
    msg::kBindSocketErrorApple,
    msg::kPortInUseError,
    msg::kGettingIpError,
    msg::kSocketFunctionError,
    msg::kSocketFunctionErrorApple,
    msg::kCreateCurvesError,
    msg::kSkelDefReceived,
    msg::kAwaitingSkelDef,
    msg::kOsvImportError,
    msg::kOsvFunctionImportError,
    msg::kOsvLinkError,
    msg::kRegCommandError,
    msg::kDeregCommandError,
    msg::kRegNodeError,
    msg::kDeregNodeError,
};

MStatus registerMessageStrings() {
    // A row that fails to register still resolves through the default text
    // given with every lookup, so single failures are not worth reporting.
    for (const MessageKey& row : kMessageTable) {
        const MStatus ignored = MStringResource::registerString(
            MStringResourceId(kMessageModule, row.key, row.defaultText));
        (void)ignored;
    }
    return MS::kSuccess;
}

MString lookupMessage(const char* key, const char* defaultText) {
    // The lookup's own status: callers report the status of their host call.
    MStatus lookupStatus;
    return MStringResource::getString(MStringResourceId(kMessageModule, key, defaultText),
                                      lookupStatus);
}
