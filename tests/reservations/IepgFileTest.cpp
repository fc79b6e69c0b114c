// iEPG files as programme-guide pages write them (Shift_JIS, CRLF; samples in iepg/), and
// damaged ones, none of which may give a programme.
#include "reservations/IepgFile.h"
#include "reservations/Reservation.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace kobal;

namespace {

std::string sample(const char* name) {
    return test::readFile(test::sourceDir() + "/tests/reservations/iepg/" + name);
}

} // namespace

TEST(IepgFile, ReadsVersionOneAndTwo) {
    IepgProgramme p;
    // Version 1: the station as written; the title keeps its first word; 23:30 to 0:30 ends
    // on the next day.
    ASSERT_EQ(IepgFile::parse(sample("news-v1.tvpi"), &p), IepgError::None);
    EXPECT_EQ(p.version, 1);
    EXPECT_EQ(p.station, u"NHK総合");
    EXPECT_EQ(p.title, u"ニュース");
    EXPECT_EQ(p.start, localTime(2037, 3, 14, 23, 30));
    EXPECT_EQ(p.end, localTime(2037, 3, 15, 0, 30));

    // Version 2: the station's name line stands for its service code; the keys it adds are
    // passed over; 29 February of a leap year.
    ASSERT_EQ(IepgFile::parse(sample("movie-v2.tvpid"), &p), IepgError::None);
    EXPECT_EQ(p.version, 2);
    EXPECT_EQ(p.station, u"日本テレビ");
    EXPECT_EQ(p.title, u"金曜ロードショー");
    EXPECT_EQ(p.start, localTime(2036, 2, 29, 21, 0));
    EXPECT_EQ(p.end, localTime(2036, 2, 29, 21, 54));

    // LF line ends read the same.
    std::string lf = sample("news-v1.tvpi");
    std::erase(lf, '\r');
    IepgProgramme q;
    ASSERT_EQ(IepgFile::parse(lf, &q), IepgError::None);
    EXPECT_EQ(q.title, u"ニュース");
    EXPECT_EQ(q.end, localTime(2037, 3, 15, 0, 30));
}

TEST(IepgFile, DamagedFilesGiveNoProgramme) {
    const std::string good = sample("news-v1.tvpi");
    ASSERT_FALSE(good.empty());
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string s = good;
        const size_t at = s.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return at == std::string::npos ? s : s.replace(at, from.size(), to);
    };
    std::u16string wide = u"Content-type: application/x-tv-program-info\r\n";
    std::string utf16(reinterpret_cast<const char*>(wide.data()), 2 * wide.size());
    struct Case {
        const char* what;
        std::string bytes;
        IepgError error;
    };
    std::vector<Case> cases = {
        {"empty", "", IepgError::MissingField},
        {"a web page", "<!DOCTYPE html>\n<html></html>\n", IepgError::NotIepg},
        {"another content type", replaced("x-tv-program-info", "plain"), IepgError::NotIepg},
        {"version 3", replaced("version: 1", "version: 3"), IepgError::NotIepg},
        {"keys out of order", replaced("month: 03\r\ndate: 14", "date: 14\r\nmonth: 03"),
         IepgError::NotIepg},
        {"UTF-16", utf16, IepgError::Encoding},
        {"bytes no Shift_JIS has", replaced("title: ", "title: \xFD\xFE"), IepgError::Encoding},
        {"a control byte", replaced("NHK", "N\x01K"), IepgError::Encoding},
        {"huge", good + std::string(IepgFile::kMaxBytes, 'x'), IepgError::TooLarge},
        {"no title line", replaced("program-title", "program-name"), IepgError::MissingField},
        {"header ends early", replaced("end: 00:30\r\n", "\r\n"), IepgError::MissingField},
        {"empty station", replaced("station: NHK", "station: \r\nNHK"), IepgError::BadValue},
        {"day 31 of February", replaced("month: 03\r\ndate: 14", "month: 2\r\ndate: 31"),
         IepgError::BadValue},
        {"29 February 2037", replaced("month: 03\r\ndate: 14", "month: 2\r\ndate: 29"),
         IepgError::BadValue},
        {"month 13", replaced("month: 03", "month: 13"), IepgError::BadValue},
        {"year 2038", replaced("year: 2037", "year: 2038"), IepgError::BadValue},
        {"hour 24", replaced("start: 23:30", "start: 24:30"), IepgError::BadValue},
        {"minute 60", replaced("end: 00:30", "end: 00:60"), IepgError::BadValue},
        {"a sign", replaced("date: 14", "date: -4"), IepgError::BadValue},
        {"no time", replaced("start: 23:30", "start: 23"), IepgError::BadValue},
        {"end equal to start", replaced("end: 00:30", "end: 23:30"), IepgError::BadRange},
        {"end before start", replaced("end: 00:30", "end: 22:30"), IepgError::BadRange},
    };
    // Cut anywhere inside the header.
    const size_t headerEnd = good.find("\r\ngenre");
    for (size_t n = 1; n < headerEnd; n += 7)
        cases.push_back({"cut", good.substr(0, n), IepgError::None});
    for (const Case& c : cases) {
        IepgProgramme p;
        p.title = u"left over";
        const IepgError e = IepgFile::parse(c.bytes, &p);
        if (c.error == IepgError::None)
            EXPECT_NE(e, IepgError::None) << c.what << " at " << c.bytes.size();
        else
            EXPECT_EQ(e, c.error) << c.what << ": " << IepgFile::errorName(e);
        EXPECT_TRUE(p.title.empty() && p.start == 0) << c.what;
    }
}
