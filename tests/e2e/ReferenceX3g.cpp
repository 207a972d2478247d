// A plain, literal rendering of the translation rules, used as the test oracle.
#include "ReferenceX3g.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace reference {

namespace {

using Payload = std::vector<unsigned char>;

void Put(Payload& p, long long v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        p.push_back(static_cast<unsigned char>((static_cast<unsigned long long>(v) >> (8 * i)) & 0xFF));
}

long long Round(double v) { return static_cast<long long>(std::floor(v + 0.5)); }

const double kSpm[5] = {71.699959, 71.699959, 71.699959, 100.470955, 0};
const double kMaxFeed[5] = {5000, 5000, 1170, 1600, 0};

class Machine {
public:
    explicit Machine(const StartValues& start) : m_start(start) {}

    // Returns true when the line yields a package (possibly empty).
    bool Translate(const std::vector<std::string>& w, Payload& out)
    {
        if (w.empty())
            return false;
        int code = -1;
        if (w[0].find('G') != std::string::npos) {
            if (std::sscanf(w[0].c_str(), "G%d", &code) != 1)
                code = -1;
            return G(code, w, out);
        }
        if (w[0].find('M') != std::string::npos) {
            if (std::sscanf(w[0].c_str(), "M%d", &code) != 1)
                code = -1;
            return M(code, w, out);
        }
        return true;
    }

    bool m104 = false, m109 = false;

private:
    static float F(const std::vector<std::string>& w, std::size_t k, const char* fmt)
    {
        float v = 0;
        if (k < w.size())
            std::sscanf(w[k].c_str(), fmt, &v);
        return v;
    }
    static int I(const std::vector<std::string>& w, std::size_t k, const char* fmt)
    {
        int v = 0;
        if (k < w.size())
            std::sscanf(w[k].c_str(), fmt, &v);
        return v;
    }

    bool M(int code, const std::vector<std::string>& w, Payload& out)
    {
        switch (code) {
        case 6: out = {134, 0}; return true;
        case 17: out = {137, 0x9F}; return true;
        case 18: out = {137, 31}; return true;
        case 73: out = {150, static_cast<unsigned char>(I(w, 1, "P%d")), 0xFF}; return true;
        case 101: out = {137, 136}; return true;
        case 102: out = {136, 0, 10, 1, 3}; return true;
        case 103: out = {137, 8}; return true;
        case 104:
        case 109: {
            bool& flag = code == 104 ? m104 : m109;
            int t = I(w, 1, "S%d");
            if (flag) {
                t = static_cast<int>(code == 104 ? m_start.extruderTempC : m_start.platformTempC);
                flag = false;
            }
            out = {136, 0, static_cast<unsigned char>(code == 104 ? 3 : 31), 2};
            Put(out, t, 2);
            return true;
        }
        default: return false;
        }
    }

    static int Interval(const std::vector<std::string>& w, std::size_t k)
    {
        float f = 0;
        if (k >= w.size() || std::sscanf(w[k].c_str(), "F%f", &f) != 1)
            return 0;
        const int whole = static_cast<int>(f);
        return whole == 0 ? 0 : static_cast<int>(60000000.0 / (whole * 71.699959));
    }

    bool G(int code, const std::vector<std::string>& w, Payload& out)
    {
        if (code == 4) {
            out = {142};
            for (long long v : {0LL, 0LL, 0LL, -2400LL, 0LL, 15000000LL})
                Put(out, v, 4);
            out.push_back(31);
            return true;
        }
        if (code == 161 || code == 162) {
            int mask = 0, interval = 0;
            if (code == 162) {
                mask = 4;
                interval = w.size() == 3 ? Interval(w, 2) : 0;
            } else if (w.size() == 3) {
                mask = w[1].find('X') != std::string::npos ? 1 : (w[1].find('Y') != std::string::npos ? 2 : 0);
                interval = Interval(w, 2);
            } else if (w.size() == 4) {
                mask = 3;
                interval = Interval(w, 3);
            }
            out = {static_cast<unsigned char>(code == 161 ? 131 : 132), static_cast<unsigned char>(mask)};
            Put(out, interval, 4);
            Put(out, 20, 2);
            return true;
        }
        if (code == 92)
            return G92(w, out);
        if (code == 1)
            return G1(w, out);
        return false;
    }

    void SetPosition(long long x, long long y, long long z, long long a, Payload& out)
    {
        out = {140};
        for (long long v : {x, y, z, a, 0LL})
            Put(out, v, 4);
    }

    bool G92(const std::vector<std::string>& w, Payload& out)
    {
        auto t = [](double spm, double mm) { return static_cast<long long>(spm * mm + 0.5); };
        if (w.size() == 2 && w[1].find('Z') != std::string::npos) {
            const double h = m_start.startHeightMM;
            SetPosition(t(kSpm[0], m_p[0]), t(kSpm[1], m_p[1]), t(kSpm[2], h), t(kSpm[3], m_p[3]), out);
            m_p[2] = h;
        } else if (w.size() == 2 && w[1].find('E') != std::string::npos) {
            const double e = F(w, 1, "E%f");
            SetPosition(t(kSpm[0], m_p[0]), t(kSpm[1], m_p[1]), t(kSpm[2], m_p[2]), t(kSpm[3], e), out);
            m_p[3] = e;
        } else if (w.size() == 6) {
            const double x = F(w, 1, "X%f"), y = F(w, 2, "Y%f");
            double z = F(w, 3, "Z%f");
            if (z > 1.0)
                z = m_start.startHeightMM;
            SetPosition(t(kSpm[0], x), t(kSpm[1], y), t(kSpm[2], z), 0, out);
            m_p[0] = x, m_p[1] = y, m_p[2] = z, m_p[3] = 0, m_p[4] = 0;
        }
        return true;
    }

    bool G1(const std::vector<std::string>& w, Payload& out)
    {
        float x = 0, y = 0, z = 0, f = 0, e = 0, v = 0;
        const float cx = static_cast<float>(m_p[0]), cy = static_cast<float>(m_p[1]),
                    cz = static_cast<float>(m_p[2]), ca = static_cast<float>(m_p[3]);
        if (w.size() == 2) {
            if (std::sscanf(w[1].c_str(), "F%f", &f) == 1) {
                m_feed = f;
                return false;
            }
            if (std::sscanf(w[1].c_str(), "E%f", &e) != 1)
                return false;  // not a shape the oracle covers
            x = cx, y = cy, z = cz;
        } else if (w.size() == 3) {
            if (std::sscanf(w[1].c_str(), "X%f", &v) == 1)
                x = v, y = cy, z = cz;
            else if (std::sscanf(w[1].c_str(), "Y%f", &v) == 1)
                x = cx, y = v, z = cz;
            else if (std::sscanf(w[1].c_str(), "Z%f", &v) == 1)
                x = cx, y = cy, z = v;
            else
                return false;
            e = ca;
            if (std::sscanf(w[2].c_str(), "F%f", &f) == 1)
                m_feed = f;
        } else if (w.size() == 5 || w.size() == 6) {
            x = F(w, 1, "X%f"), y = F(w, 2, "Y%f"), z = F(w, 3, "Z%f"), f = F(w, 4, "F%f");
            e = w.size() == 6 ? F(w, 5, "E%f") : ca;
            m_feed = f;
        } else {
            return false;
        }
        const double target[5] = {x, y, z, e, 0};
        double d[5], ad[5], len2 = 0;
        for (int i = 0; i < 5; ++i) {
            d[i] = target[i] - m_p[i];
            ad[i] = std::fabs(d[i]);
            len2 += ad[i] * ad[i];
        }
        if (!(std::sqrt(len2) > 0))
            return false;
        double distance = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        double feed = m_feed;
        if (feed == 0)
            feed = std::max(1.0, *std::max_element(kMaxFeed, kMaxFeed + 5));
        const double len = std::sqrt(len2);
        for (int i = 0; i < 5; ++i)
            if (ad[i] != 0 && feed * ad[i] / len > kMaxFeed[i])
                feed = kMaxFeed[i] * len / ad[i];
        double minutes = distance / feed;
        if (minutes == 0) {
            distance = ad[3];
            minutes = ad[3] / feed;
        }
        const double stepsOf[5] = {x, y, z, -d[3], -d[4]};
        double most = 0;
        for (int i = 0; i < 5; ++i)
            most = std::max(most, static_cast<double>(Round(kSpm[i] * ad[i])));
        out = {155};
        for (int i = 0; i < 5; ++i)
            Put(out, Round(kSpm[i] * stepsOf[i]), 4);
        Put(out, most == 0 ? 0 : static_cast<long long>(1000000.0 / (minutes * 60000000.0 / most)), 4);
        out.push_back(24);
        const float distanceF = static_cast<float>(distance);
        uint32_t bits = 0;
        std::memcpy(&bits, &distanceF, 4);
        Put(out, bits, 4);
        Put(out, static_cast<long long>(feed / 60 * 64), 2);
        std::copy(target, target + 5, m_p);
        return true;
    }

    StartValues m_start;
    double m_p[5] = {0, 0, 0, 0, 0};
    double m_feed = 0;
};

std::vector<std::string> CleanLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin <= text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        const std::size_t open = line.find('('), close = line.rfind(')');
        if (open != std::string::npos && close != std::string::npos && close > open)
            line.erase(open, close - open + 1);
        const char* space = " \t\r\n\v\f";
        const std::size_t first = line.find_first_not_of(space);
        if (first == std::string::npos)
            continue;
        lines.push_back(line.substr(first, line.find_last_not_of(space) - first + 1));
    }
    return lines;
}

std::vector<std::string> Words(const std::string& line)
{
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        const std::size_t start = line.find_first_not_of(' ', i);
        if (start == std::string::npos)
            break;
        const std::size_t end = std::min(line.find(' ', start), line.size());
        words.push_back(line.substr(start, end - start));
        i = end;
    }
    return words;
}

}  // namespace

std::vector<unsigned char> X3gOf(const std::string& gcodeText, const StartValues& start)
{
    Machine machine(start);
    std::vector<Payload> list;
    const std::vector<std::string> lines = CleanLines(gcodeText);
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (n == 0 && lines[n].find("M104") != std::string::npos)
            machine.m104 = true;
        if (n == 1 && lines[n].find("M109") != std::string::npos)
            machine.m109 = true;
        Payload p;
        if (machine.Translate(Words(lines[n]), p))
            list.push_back(p);
    }
    const Payload wait = {135, 0, 100, 0, 0xFF, 0xFF};
    if (list.size() >= 13)
        list.insert(list.begin() + 12, wait);

    std::vector<unsigned char> x3g;
    const std::size_t n = list.size(), step = n / 100;
    std::size_t next = 0;
    int k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == next) {
            x3g.insert(x3g.end(), {150, static_cast<unsigned char>(std::min(k, 100)), 0xFF});
            ++k;
            next += step;
        }
        x3g.insert(x3g.end(), list[i].begin(), list[i].end());
        if (i == 11)
            x3g.insert(x3g.end(), wait.begin(), wait.end());
    }
    if (n > 0 && step > 0 && n % step != 0)
        x3g.insert(x3g.end(), {150, 100, 0xFF});
    return x3g;
}

}  // namespace reference
