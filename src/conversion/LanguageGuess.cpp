#include "conversion/LanguageGuess.h"

#include <bitset>

namespace tolvren {

namespace {

// Frequent characters of lyrics that only one of the two scripts uses: the Simplified form, and
// the Traditional one (the pairs are OpenCC's; a character that both use, such as 后 or 里, is
// left out).
constexpr std::string_view kSimplifiedOnly =
    "东两严个为丽么乐习乡书买亲从们众优会伤体侣关写农别华单卖历压双发变吗听员呜园围国"
    "图圆场坏块坚声处备复够头夺妆妈学宁宝实宠宽对寻尘尽层岁岛师带帮广应开弃张弹归当录"
    "忆忧怀态总恋恶悦惊惯愿懒戏战扑扫扬护报担拥择挂挚挥换摆摇敌数断无旧时显晓暂机杀杂"
    "条来极枪标树样桥梦检欢残气汉没泪泽洁浅浑浓涛润渐渔温湾湿滚满灭灯灵灿点烟烦烧热爱"
    "独环现画畅疯痴盏盖盘睁瞒确碍礼离种积称穷笔简类红约级纪纯纷纸线练组细终经结绕给绝"
    "继续绵绿缘缠罗职联肠胜脑脚脱脸腾艰节苏荡荣药莲获萤营蓝虽装见观规视觉计认让记讲许"
    "论设证评识诉词试诗诚话该详语误说请诺读谁调谅谈谊谎谜谢贝负财责败质贪贵资赏赖赛赶"
    "跃踪车轨转轮软轻载辈辉输边达过迈运还这进远违连迟适选遗邮邻释钟钢钱铃银链锁错镜长"
    "门闪闭问间闹闻阳阴阵际陆险随隐难雾韵页顶项顺须顾领颗题颜风飘飞饭饮饱马驰骂骄验骗"
    "鱼鲜鸟鸡鸣麦黄齐龙龟";
constexpr std::string_view kTraditionalOnly =
    "來侶個們備傷優兩別勝員問單嗎嗚嚴國圍園圓圖堅報場塊塵壓壞夠夢奪妝媽學實寧寫寬寵寶"
    "尋對層島師帶幫廣張彈後從復悅惡愛態慣憂憶應懶懷戀戰戲掃掛揚換揮搖摯撲擁擇擔擺敗敵"
    "數斷時暢暫曉書會東條棄極榮槍樂標樣樹橋機檢歡歲歷歸殘殺氣沒淚淺渾溫滅滾滿漁漢漸潔"
    "潤澤濃濕濤灣為無煙煩熱燈燒營燦獨獲現環畫當瘋癡發盞盡盤眾睜瞞確礙禮種稱積窮筆節簡"
    "簾紀約紅純紙級紛細終組結絕給經綠綿線緣練總繞繼續纏罵羅習聞聯聲職聽脫腦腳腸臉舊艱"
    "華蓋蓮蕩藍藥蘇處螢裝裡見規視親覺觀計記設許訴評詞試詩話該詳認語誠誤說誰誼調談請諒"
    "論諾謊謎講謝證識護讀變讓貝負財貪責貴買資賞賣質賴賽趕蹤躍車軌軟載輕輝輩輪輸轉農這"
    "連進運過達違遠適遲選遺邁還邊郵鄉鄰釋鈴銀鋼錄錢錯鎖鏈鏡鐘長門閃閉開間關陣陰陸陽際"
    "隨險隱雖雙雜雞離難霧靈韻頁頂項順須領頭顆題顏願類顧顯風飄飛飯飲飽馬馳騙騰驕驗驚體"
    "鬧魚鮮鳥鳴麗麥麼黃點齊龍龜";

// The code point of the UTF-8 character at `pos`, which moves past it.
char32_t NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto byte = [&text](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) & 0x3Fu : 0u;
    };
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0xC0) {
        ++pos;
        return lead;
    }
    if (lead < 0xE0) {
        pos += 2;
        return ((lead & 0x1Fu) << 6) | byte(pos - 1);
    }
    if (lead < 0xF0) {
        pos += 3;
        return ((lead & 0x0Fu) << 12) | (byte(pos - 2) << 6) | byte(pos - 1);
    }
    pos += 4;
    return ((lead & 0x07u) << 18) | (byte(pos - 3) << 12) | (byte(pos - 2) << 6) | byte(pos - 1);
}

using CharacterSet = std::bitset<0x10000>;

CharacterSet SetOf(std::string_view characters) {
    CharacterSet set;
    for (std::size_t pos = 0; pos < characters.size();) {
        set.set(NextCodePoint(characters, pos));
    }
    return set;
}

bool IsHan(char32_t c) {
    return (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

bool IsKana(char32_t c) {
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x31F0 && c <= 0x31FF) ||
           (c >= 0xFF66 && c <= 0xFF9D);
}

bool IsHangul(char32_t c) {
    return (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0x1100 && c <= 0x11FF) ||
           (c >= 0x3130 && c <= 0x318F);
}

bool IsLatinLetter(char32_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

} // namespace

void LanguageGuess::Add(std::string_view text) {
    static const CharacterSet simplified = SetOf(kSimplifiedOnly);
    static const CharacterSet traditional = SetOf(kTraditionalOnly);
    bool inWord = false;
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t c = NextCodePoint(text, pos);
        const bool latin = IsLatinLetter(c);
        m_nLatinWords += latin && !inWord ? 1 : 0;
        inWord = latin;
        if (IsHan(c)) {
            ++m_nHan;
            if (c < 0x10000) {
                m_nSimplified += simplified.test(c) ? 1 : 0;
                m_nTraditional += traditional.test(c) ? 1 : 0;
            }
        } else if (IsKana(c)) {
            ++m_nKana;
        } else if (IsHangul(c)) {
            ++m_nHangul;
        }
    }
}

std::string_view LanguageGuess::Tag() const {
    const std::size_t cjk = m_nHan + m_nKana + m_nHangul;
    if (m_nLatinWords > cjk) {
        return "en";
    }
    if (cjk == 0) {
        return "und";
    }
    if (m_nHangul * 2 > cjk) {
        return "ko";
    }
    if (m_nKana * 5 >= m_nHan + m_nKana) {
        return "ja";
    }
    return m_nTraditional > m_nSimplified ? "zh-Hant" : "zh-Hans";
}

} // namespace tolvren
