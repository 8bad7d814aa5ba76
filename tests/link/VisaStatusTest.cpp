#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "link/VisaBus.h"

namespace kmr {
namespace {

// Each VISA status becomes the GP-IB status whose report means the same.
TEST(VisaStatusMapping, KeepsTheStatusReportMeaningful) {
    const std::tuple<visa::ViStatus, bool, std::int32_t, std::int32_t> cases[] = {  // status, a read, ibsta, iberr
        {visa::kSuccess, true, kIbCMPL | kIbEND, 0},  // read ended on END
        {visa::kSuccessMaxCnt, true, kIbCMPL, 0},     // stopped at the count
        {visa::kSuccessTermChar, true, kIbCMPL | kIbEND, 0},
        {visa::kSuccess, false, kIbCMPL, 0},  // a write has no END
        {visa::kErrorTmo, true, kIbERR | kIbTIMO | kIbCMPL, kEABO},
        {visa::kErrorNListeners, false, kIbERR, kENOL},
        {visa::kErrorConnLost, false, kIbERR, kENOL},
        {visa::kErrorConnLost, true, kIbERR, kEABO},
        {visa::kErrorNcic, false, kIbERR, kECIC},
        {visa::kErrorNsysCntlr, false, kIbERR, kESAC},
        {visa::kErrorRsrcNotFound, false, kIbERR, kENEB},
        {visa::kErrorInvRsrcName, false, kIbERR, kEARG},
        {visa::kErrorNsupOper, false, kIbERR, kECAP},
        {visa::kErrorIo, true, kIbERR, kEBUS},
        {visa::Err(0xBFFF0099u), true, kIbERR, kEDVR},  // one it does not know
    };
    for (const auto& [status, isRead, ibsta, iberr] : cases) {
        SCOPED_TRACE(visa::StatusName(status) + (isRead ? " read" : " write"));
        const GpibStatus s = visa::ToGpibStatus(status, 12, isRead);
        EXPECT_EQ(s.ibsta, ibsta);
        EXPECT_EQ(s.iberr, iberr);
        EXPECT_EQ(s.ibcnt, 12);
    }
    // An unknown status is named in hex (a known one by its name:
    // RouteFaultsOfOneRoute.OpenFailuresNameWhatIsMissingInTheProgramsLanguage).
    EXPECT_EQ(visa::StatusName(visa::Err(0xBFFF0099u)), "VISA status 0xBFFF0099");
}

}  // namespace
}  // namespace kmr
