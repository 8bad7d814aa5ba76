#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "link/VisaBus.h"

namespace kmr {
namespace {

struct Mapping {
    visa::ViStatus status;
    bool isRead;
    std::int32_t ibsta;
    std::int32_t iberr;
};

class VisaStatusMapping : public ::testing::TestWithParam<Mapping> {};

TEST_P(VisaStatusMapping, KeepsTheStatusReportMeaningful) {
    const Mapping& m = GetParam();
    GpibStatus s = visa::ToGpibStatus(m.status, 12, m.isRead);
    EXPECT_EQ(s.ibsta, m.ibsta) << visa::StatusName(m.status);
    EXPECT_EQ(s.iberr, m.iberr) << visa::StatusName(m.status);
    EXPECT_EQ(s.ibcnt, 12);
}

INSTANTIATE_TEST_SUITE_P(
    Table, VisaStatusMapping,
    ::testing::Values(
        Mapping{visa::kSuccess, true, kIbCMPL | kIbEND, 0},      // read ended on END
        Mapping{visa::kSuccessMaxCnt, true, kIbCMPL, 0},         // stopped at the count
        Mapping{visa::kSuccessTermChar, true, kIbCMPL | kIbEND, 0},
        Mapping{visa::kSuccess, false, kIbCMPL, 0},              // a write has no END
        Mapping{visa::kErrorTmo, true, kIbERR | kIbTIMO | kIbCMPL, kEABO},
        Mapping{visa::kErrorTmo, false, kIbERR | kIbTIMO | kIbCMPL, kEABO},
        Mapping{visa::kErrorNListeners, false, kIbERR, kENOL},
        Mapping{visa::kErrorConnLost, false, kIbERR, kENOL},
        Mapping{visa::kErrorConnLost, true, kIbERR, kEABO},
        Mapping{visa::kErrorNcic, false, kIbERR, kECIC},
        Mapping{visa::kErrorNsysCntlr, false, kIbERR, kESAC},
        Mapping{visa::kErrorRsrcNotFound, false, kIbERR, kENEB},
        Mapping{visa::kErrorInvRsrcName, false, kIbERR, kEARG},
        Mapping{visa::kErrorNsupOper, false, kIbERR, kECAP},
        Mapping{visa::kErrorIo, true, kIbERR, kEBUS},
        Mapping{visa::kErrorSystem, true, kIbERR, kEDVR},
        Mapping{visa::Err(0xBFFF0099u), true, kIbERR, kEDVR}),  // one it does not know
    [](const ::testing::TestParamInfo<Mapping>& info) {
        std::string name = visa::StatusName(info.param.status);
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name + (info.param.isRead ? "_Read" : "_Write");
    });

TEST(VisaStatusNames, NameKnownCodesAndShowOthersInHex) {
    EXPECT_EQ(visa::StatusName(visa::kErrorTmo), "VI_ERROR_TMO");
    EXPECT_EQ(visa::StatusName(visa::kSuccessMaxCnt), "VI_SUCCESS_MAX_CNT");
    EXPECT_EQ(visa::StatusName(visa::Err(0xBFFF0099u)), "VISA status 0xBFFF0099");
}

}  // namespace
}  // namespace kmr
