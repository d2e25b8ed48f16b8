"""The corpus's screens as compact descriptions: each builder returns what a
window shows (an HTML page for chromium, or text with colours for xterm)
and a draft of the words it holds, panel by panel in reading order. The
draft only seeds bench/truth/; the truth there is corrected by looking at
the captured screen (clipped, hidden and wrapped text)."""

import html as _html
from dataclasses import dataclass, field


@dataclass
class Page:
    title: str
    body: str            # HTML, or text with ANSI colours for a terminal
    draft: list          # lines, reading order
    tags: dict = field(default_factory=dict)  # failure class -> tokens that class tends to lose


def esc(text):
    return _html.escape(text, quote=False)


THEMES = {
    "light": dict(bg="#ffffff", panel="#f3f3f3", fg="#1f2328", dim="#8c959f", line="#d0d7de", accent="#0969da",
                  select="#dbe9fb", bar="#007acc", barfg="#ffffff"),
    "dark": dict(bg="#1e1e1e", panel="#252526", fg="#d4d4d4", dim="#6e7681", line="#3c3c3c", accent="#4fa3ff",
                 select="#37373d", bar="#68217a", barfg="#ffffff"),
}


def page(title, css, body, theme, font="Liberation Sans", size=13):
    t = THEMES[theme]
    return (f"<!doctype html><html><head><meta charset='utf-8'><title>{esc(title)}</title><style>"
            f"*{{box-sizing:border-box;margin:0;padding:0}}html,body{{height:100%;overflow:hidden}}"
            f"body{{font-family:'{font}';font-size:{size}px;background:{t['bg']};color:{t['fg']}}}"
            f".row{{display:flex}}.col{{display:flex;flex-direction:column}}.grow{{flex:1;min-width:0}}"
            f".dim{{color:{t['dim']}}}.sel{{background:{t['select']}}}"
            f"{css}</style></head><body>{body}</body></html>")


# --- photo gallery: a grid of thumbnails, names under them ------------------

GALLERY = [dict(
    title="Pictures - Gallery",
    albums=["All photos", "Favourites", "Holiday 2025", "Family", "Screenshots", "Scans", "Trash"],
    selected=2,
    photos=[("beach_sunrise.jpg", "4.1 MB"), ("harbour_walk.jpg", "3.8 MB"), ("old_town_square.jpg", "5.2 MB"),
            ("ferry_deck.png", "2.9 MB"), ("lighthouse.jpg", "4.4 MB"), ("market_stalls.jpg", "6.0 MB"),
            ("sunset_pier.jpg", "3.3 MB"), ("castle_gate.jpg", "4.9 MB"), ("night_lights.png", "7.1 MB"),
            ("cafe_corner.jpg", "2.2 MB"), ("river_bend.jpg", "3.6 MB"), ("train_station.jpg", "5.5 MB"),
            ("hiking_trail.jpg", "4.0 MB"), ("mountain_view.jpg", "6.3 MB"), ("picnic_table.jpg", "1.9 MB")],
    chosen=6,
    status="15 photos, 1 selected (3.3 MB)",
    width=180,
), dict(
    title="Downloads - Files",
    albums=["Home", "Desktop", "Downloads", "Documents", "Music", "Videos", "Network"],
    selected=2,
    photos=[("quarterly_financial_summary_final.xlsx", "84 kB"), ("setup.exe", "41 MB"),
            ("conference_badge_scan.pdf", "312 kB"), ("notes.txt", "2 kB"), ("team_offsite_agenda_v2.docx", "58 kB"),
            ("photo_0412.jpg", "2.8 MB"), ("installer_linux_amd64.tar.gz", "96 MB"), ("invoice_7731.pdf", "120 kB"),
            ("readme.md", "4 kB"), ("wallpaper_mountains_4k.png", "9.4 MB"), ("song.mp3", "6.1 MB"),
            ("backup_2026_03_01.zip", "1.2 GB")],
    chosen=3,
    status="12 items, 1 selected (2 kB), 210 GB free",
    width=130,
)]


def grid_cells(items, chosen, picture):
    """A grid's cells: a picture, the name under it, a dim second line."""
    return "".join(f"<div class='cell {'sel' if i == chosen else ''}'><div class='{picture}'></div>"
                   f"<div>{esc(name)}</div><div class='dim'>{esc(detail)}</div></div>"
                   for i, (name, detail) in enumerate(items))


def grid_draft(items, per_row):
    """Each row of the grid as two lines: its names, then its second lines."""
    lines = []
    for row in range(0, len(items), per_row):
        chunk = items[row:row + per_row]
        lines += [" ".join(n for n, _ in chunk), " ".join(d for _, d in chunk)]
    return lines


FOLDERS = dict(
    title="Projects",
    path=["Home", "Work", "Projects"],
    places=["Recent", "Home", "Desktop", "Work", "Downloads", "Trash"],
    selected=3,
    items=[("Apollo", "14 items"), ("Billing service", "9 items"), ("Customer portal redesign", "31 items"),
           ("Data pipeline", "6 items"), ("Design assets", "120 items"), ("Infrastructure", "18 items"),
           ("Mobile app", "44 items"), ("Onboarding docs", "7 items"), ("Quarterly planning 2026", "12 items"),
           ("Research notes", "23 items"), ("Security review", "5 items"), ("Website", "37 items")],
    chosen=4,
    status="12 folders",
)


def folders(theme):
    s, t = FOLDERS, THEMES[theme]
    css = (f".side{{width:200px;background:{t['panel']};padding:12px 8px}}.side div{{padding:6px 10px}}"
           f".bar{{height:48px;border-bottom:1px solid {t['line']};padding:10px 14px;gap:10px;align-items:center}}"
           f".btn{{border:1px solid {t['line']};border-radius:4px;padding:4px 10px}}"
           f".search{{margin-left:auto;border:1px solid {t['line']};border-radius:14px;padding:5px 14px;width:220px}}"
           f".grid{{display:grid;grid-template-columns:repeat(6,150px);gap:18px 22px;padding:20px}}"
           f".cell{{padding:8px 4px;text-align:center;border-radius:6px}}"
           f".icon{{width:72px;height:54px;margin:0 auto 8px;background:{t['accent']};border-radius:4px 12px 4px 4px}}"
           f".status{{height:26px;border-top:1px solid {t['line']};padding:5px 14px}}")
    side = "".join(f"<div class='{'sel' if i == s['selected'] else ''}'>{esc(p)}</div>" for i, p in enumerate(s["places"]))
    crumbs = " / ".join(esc(p) for p in s["path"])
    cells = grid_cells(s["items"], s["chosen"], "icon")
    body = (f"<div class='row' style='height:100%'><div class='side'>{side}</div><div class='grow col'>"
            f"<div class='row bar'><span class='btn'>&lt;</span><span class='btn'>&gt;</span><span>{crumbs}</span>"
            f"<span class='search dim'>Search files</span></div>"
            f"<div class='grow'><div class='grid'>{cells}</div></div><div class='status dim'>{esc(s['status'])}</div>"
            f"</div></div>")
    draft = list(s["places"]) + [" / ".join(s["path"]) + " Search files"] + grid_draft(s["items"], 6) + [s["status"]]
    return Page(s["title"], page(s["title"], css, body, theme, size=13), draft, {})


MESSENGER = dict(
    title="Messages",
    contacts=[("Priya Raman", "See you at 6"), ("Tom Becker", "Thanks, got it"), ("Climbing club", "Lena: rope is booked"),
              ("Mum", "Call me when you can"), ("Jonas", "Photo")],
    open=0,
    messages=[("in", "Hi! Are we still on for dinner tonight?", "17:02"),
              ("out", "Yes, I booked a table at the Thai place for 6.", "17:04"),
              ("in", "Great. Can you bring the book you mentioned?", "17:05"),
              ("out", "Sure, it's already in my bag.", "17:05"),
              ("in", "See you at 6", "17:06")],
    composer="Write a message",
)


def messenger(theme):
    s, t = MESSENGER, THEMES[theme]
    css = (f".list{{width:300px;background:{t['panel']};border-right:1px solid {t['line']}}}"
           f".contact{{padding:10px 16px;border-bottom:1px solid {t['line']}}}.contact b{{display:block}}"
           f".head{{height:52px;padding:14px 20px;border-bottom:1px solid {t['line']};font-weight:bold}}"
           f".talk{{padding:20px;gap:12px}}.msg{{max-width:55%;padding:8px 12px;border-radius:14px}}"
           f".in{{background:{t['panel']};align-self:flex-start}}"
           f".out{{background:{t['accent']};color:#ffffff;align-self:flex-end}}"
           f".time{{font-size:11px;opacity:0.75;margin-top:2px}}"
           f".composer{{margin:12px 20px;border:1px solid {t['line']};border-radius:18px;padding:8px 16px}}")
    contacts = "".join(f"<div class='contact {'sel' if i == s['open'] else ''}'><b>{esc(n)}</b>"
                       f"<span class='dim'>{esc(last)}</span></div>" for i, (n, last) in enumerate(s["contacts"]))
    talk = "".join(f"<div class='msg {side}'>{esc(text)}<div class='time'>{esc(time)}</div></div>"
                   for side, text, time in s["messages"])
    body = (f"<div class='row' style='height:100%'><div class='list'>{contacts}</div><div class='grow col'>"
            f"<div class='head'>{esc(s['contacts'][s['open']][0])}</div><div class='grow col talk'>{talk}</div>"
            f"<div class='composer dim'>{esc(s['composer'])}</div></div></div>")
    draft = [line for n, last in s["contacts"] for line in (n, last)] + [s["contacts"][s["open"]][0]]
    draft += [line for _, text, time in s["messages"] for line in (text, time)] + [s["composer"]]
    return Page(s["title"], page(s["title"], css, body, theme, size=14), draft, {})


GROUP_CHAT = dict(
    title="Trail crew",
    members="5 members",
    messages=[("Priya Raman", "07:41", "Morning all! Weather looks clear for Saturday, the ridge trail is open again."),
              ("", "07:45", "Great news. I can drive, there is room for three more in the car."),
              ("Tom Becker", "07:52", "Count me in. Should we meet at the bakery on Mill Street at seven?"),
              ("Priya Raman", "07:53", "Seven works for me."),
              ("", "08:02", "Perfect. I will bring the map and the first aid kit."),
              ("Jonas Weber", "08:10", "I have to leave by three in the afternoon, is that a problem for anyone?"),
              ("", "08:12", "Not at all, we planned to be back down by two anyway.")],
    composer="Message Trail crew",
)


def group_chat(theme):
    """A group's thread alone: others' bubbles on the left, each under its sender's name unless the same sender
    goes on; one's own on the right; each bubble's time beside it, outside."""
    s, t = GROUP_CHAT, THEMES[theme]
    css = (f".head{{padding:12px 24px;border-bottom:1px solid {t['line']}}}.head b{{font-size:17px;margin-right:12px}}"
           f".talk{{padding:16px 40px;gap:6px}}.turn{{display:flex;align-items:flex-end;gap:10px}}"
           f".turn.me{{flex-direction:row-reverse}}.nm{{font-size:12px;color:{t['accent']};margin:10px 0 2px 14px}}"
           f".b{{max-width:46%;padding:9px 14px;border-radius:16px;background:{t['panel']}}}"
           f".me .b{{background:#2f6f4f;color:#ffffff}}.tm{{font-size:11px;color:{t['dim']};padding-bottom:4px}}"
           f".composer{{margin:12px 24px;padding:10px 18px;border-radius:20px;background:{t['panel']}}}")
    talk, draft, last = "", [f"{s['title']} {s['members']}"], None
    for name, tm, text in s["messages"]:
        if name and name != last:
            talk += f"<div class='nm'>{esc(name)}</div>"
            draft.append(name)
        last = name
        talk += f"<div class='turn{'' if name else ' me'}'><div class='b'>{esc(text)}</div><span class='tm'>{tm}</span></div>"
        draft += [text, tm]
    body = (f"<div class='col' style='height:100%'><div class='head'><b>{s['title']}</b><span class='dim'>"
            f"{s['members']}</span></div><div class='grow col talk'>{talk}</div>"
            f"<div class='composer dim'>{s['composer']}</div></div>")
    tags = {"glyph": [tm for _, tm, _ in s["messages"]]}
    return Page(s["title"], page(s["title"], css, body, theme, size=14), draft + [s["composer"]], tags)


CHAT_BESIDE = dict(
    title="Kitchen renovation",
    messages=[("Marta", "9:02", "Tiles arrived this morning, two boxes are cracked. I took photos for the supplier."),
              ("Ben", "9:10", "Annoying. Ask them to send the replacements before Thursday, the tiler starts then."),
              ("Marta", "9:14", "Done, they promised Wednesday."),
              ("Luis", "9:31", "The electrician moved to Friday afternoon. Can someone be at the house to let him in? "
                               "I will be at work until six."),
              ("Ben", "9:40", "I can work from there on Friday."),
              ("Marta", "9:41", "Great, thank you!")],
    composer="Write to Kitchen renovation",
)


def chat_beside(theme):
    """A thread whose sender and time stand in a narrow column beside each bubble, under a coloured header."""
    s, t = CHAT_BESIDE, THEMES[theme]
    css = (f".head{{background:{t['bar']};color:{t['barfg']};padding:12px 24px;font-size:17px;font-weight:bold}}"
           f".talk{{padding:14px 30px;gap:14px}}.turn{{display:flex;gap:16px;align-items:flex-start}}"
           f".who{{width:90px;flex:none;padding-top:8px}}.who b{{display:block}}.tm{{font-size:12px;color:{t['dim']}}}"
           f".b{{max-width:60%;padding:8px 14px;border-radius:12px;background:{t['select']};line-height:1.4}}"
           f".composer{{margin:10px 24px;padding:10px 16px;border:1px solid {t['line']};border-radius:8px}}")
    talk = "".join(f"<div class='turn'><div class='who'><b>{n}</b><span class='tm'>{tm}</span></div>"
                   f"<div class='b'>{esc(m)}</div></div>" for n, tm, m in s["messages"])
    body = (f"<div class='col' style='height:100%'><div class='head'>{s['title']}</div>"
            f"<div class='grow col talk'>{talk}</div><div class='composer dim'>{s['composer']}</div></div>")
    draft = [s["title"]] + [line for n, tm, m in s["messages"] for line in (n, tm, m)] + [s["composer"]]
    return Page(s["title"], page(s["title"], css, body, theme, size=14), draft,
                {"glyph": [tm for _, tm, _ in s["messages"]], "lost": s["title"].split()})


def gallery(v, theme):
    s, t = GALLERY[v], THEMES[theme]
    css = (f".side{{width:220px;background:{t['panel']};padding:14px 8px}}.side div{{padding:7px 10px}}"
           f".top{{height:44px;border-bottom:1px solid {t['line']};padding:12px 18px;font-size:15px}}"
           f".grid{{display:grid;grid-template-columns:repeat(5,{s['width']}px);gap:22px 26px;padding:22px}}"
           f".cell div:nth-child(2){{overflow-wrap:anywhere}}"
           f".cell{{padding:6px;text-align:center}}.thumb{{height:110px;background:{t['line']};margin-bottom:8px}}"
           f".status{{height:28px;border-top:1px solid {t['line']};padding:6px 18px}}")
    side = "".join(f"<div class='{'sel' if i == s['selected'] else ''}'>{esc(a)}</div>" for i, a in enumerate(s["albums"]))
    cells = grid_cells(s["photos"], s["chosen"], "thumb")
    body = (f"<div class='row' style='height:100%'><div class='side'>{side}</div>"
            f"<div class='grow col'><div class='top'>{esc(s['albums'][s['selected']])}</div>"
            f"<div class='grow'><div class='grid'>{cells}</div></div><div class='status dim'>{esc(s['status'])}</div>"
            f"</div></div>")
    draft = list(s["albums"]) + [s["albums"][s["selected"]]] + grid_draft(s["photos"], 5) + [s["status"]]
    return Page(s["title"], page(s["title"], css, body, theme, size=13), draft, {})


# --- code editor -----------------------------------------------------------

EDITOR_CODE = [
    """from __future__ import annotations

import logging
from dataclasses import dataclass

_DEFAULT_RETRIES = 3
log = logging.getLogger("pipeline")

LIMITS = {
    "cpu": 2,
    "memory_mb": 512,
}

@dataclass
class Job:
    job_id: int
    name: str
    retries: int = _DEFAULT_RETRIES

def run(job: Job) -> bool:
    log.info("run_pipeline %s", job.job_id)
    for attempt in range(job.retries):
        if submit(job, attempt):
            return True
        log.warning("retry %d of %s", attempt, job.name)
    return False""",
    """import { readFile } from "node:fs/promises";
import type { Invoice } from "./types";

const MAX_LINE_ITEMS = 200;

export async function loadInvoices(path: string): Promise<Invoice[]> {
  const raw = await readFile(path, "utf8");
  const rows = JSON.parse(raw) as Invoice[];
  if (rows.length > MAX_LINE_ITEMS) {
    throw new Error(`too many items: ${rows.length}`);
  }
  return rows.filter((row) => row.total_cents > 0);
}

export function formatTotal(invoice: Invoice): string {
  const euros = invoice.total_cents / 100;
  return `${invoice.customer_id}: ${euros.toFixed(2)} EUR`;
}""",
]
EDITOR_TREE = [
    ["EXPLORER", "PIPELINE", "src", "__init__.py", "config.py", "*runner.py", "storage.py", "tests",
     "test_runner.py", "README.md", "pyproject.toml", "", "OUTLINE", "TIMELINE"],
    ["EXPLORER", "BILLING", "src", "index.ts", "*invoices.ts", "types.ts", "package.json", "tsconfig.json"],
]
EDITOR_TABS = [["runner.py", "config.py", "README.md"], ["invoices.ts", "types.ts"]]
EDITOR_STATUS = [["main", "Ln 22, Col 17", "Spaces: 4", "UTF-8", "LF", "Python"],
                 ["main*", "Ln 12, Col 3", "Spaces: 2", "UTF-8", "TypeScript"]]

# A third file, for tuning: a light editor at 150% in a decorated window.
EDITOR_CODE.append("""use std::collections::HashMap;

const MAX_BATCH_SIZE: usize = 64;

pub struct Ledger {
    balances: HashMap<String, i64>,
}

impl Ledger {
    pub fn apply_transfer(&mut self, from: &str, to: &str, amount: i64) -> bool {
        let from_balance = self.balances.get(from).copied().unwrap_or(0);
        if from_balance < amount {
            return false;
        }
        *self.balances.entry(from.to_string()).or_insert(0) -= amount;
        *self.balances.entry(to.to_string()).or_insert(0) += amount;
        true
    }
}""")
EDITOR_TREE.append(["EXPLORER", "LEDGER", "src", "*ledger.rs", "main.rs", "Cargo.toml", "Cargo.lock"])
EDITOR_TABS.append(["ledger.rs", "main.rs"])
EDITOR_STATUS.append(["main", "Ln 11, Col 28", "Spaces: 4", "UTF-8", "Rust"])

KEYWORDS = {"from", "import", "def", "class", "return", "for", "in", "if", "const", "export", "async", "function",
            "await", "as", "type", "throw", "new"}


def highlight(code, theme):
    colors = {"kw": "#c586c0" if theme == "dark" else "#af00db", "str": "#ce9178" if theme == "dark" else "#a31515"}
    out = []
    for word in code.replace("\t", "    ").split(" "):
        e = esc(word)
        if word in KEYWORDS:
            e = f"<span style='color:{colors['kw']}'>{e}</span>"
        elif word and word[0] in "\"`":
            e = f"<span style='color:{colors['str']}'>{e}</span>"
        out.append(e)
    return " ".join(out)


def editor(v, theme):
    t = THEMES[theme]
    code = EDITOR_CODE[v].split("\n")
    tree = "".join(f"<div class='f{' sel' if n.startswith('*') else ''}' style='padding-left:"
                   f"{8 if n.isupper() else 20}px'>{esc(n.lstrip('*')) or '&nbsp;'}</div>" for n in EDITOR_TREE[v])
    tabs = "".join(f"<div class='tab{' on' if i == 0 else ''}'>{esc(n)}</div>" for i, n in enumerate(EDITOR_TABS[v]))
    gutter = "".join(f"<div>{i}</div>" for i in range(1, len(code) + 1))
    lines = "".join(f"<div>{highlight(c, theme) or '&nbsp;'}</div>" for c in code)
    status = "".join(f"<span>{esc(s)}</span>" for s in EDITOR_STATUS[v])
    css = (f".f{{padding:3px 0;white-space:nowrap}}.side{{width:250px;background:{t['panel']};padding-top:8px}}"
           f".tabs{{display:flex;background:{t['panel']}}}.tab{{padding:9px 18px;color:{t['dim']}}}"
           f".tab.on{{background:{t['bg']};color:{t['fg']}}}"
           f".code{{font-family:'DejaVu Sans Mono';font-size:14px;line-height:21px;padding-top:8px;white-space:pre}}"
           f".gut{{width:56px;text-align:right;padding-right:18px;color:{t['dim']}}}"
           f".status{{height:24px;background:{t['bar']};color:{t['barfg']};display:flex;gap:22px;padding:4px 12px;"
           f"font-size:12px}}")
    body = (f"<div class='col' style='height:100%'><div class='row grow'><div class='side'>{tree}</div>"
            f"<div class='col grow'><div class='tabs'>{tabs}</div><div class='row code'><div class='gut'>{gutter}"
            f"</div><div class='grow'>{lines}</div></div></div></div><div class='status'>{status}</div></div>")
    draft = [n.lstrip("*") for n in EDITOR_TREE[v] if n] + [" ".join(EDITOR_TABS[v])]
    draft += [f"{i} {c.strip()}".strip() for i, c in enumerate(code, 1)] + [" ".join(EDITOR_STATUS[v])]
    tags = {"glyph": [w for w in " ".join(code).split() if "_" in w],
            "lost": [str(i) for i in range(1, len(code) + 1)] + ["}"] * sum(c.strip() == "}" for c in code)
            + EDITOR_STATUS[v]}
    return Page(EDITOR_TABS[v][0], page(EDITOR_TABS[v][0], css, body, theme), draft, tags)


# --- chat ------------------------------------------------------------------

CHAT = [
    dict(workspace="Northwind Labs", channel="release", topic="Ship 4.2 on Thursday", members="12 members",
         channels=["general", "design-review", "*release", "random"],
         people=["Alice Morgan", "Brian Walsh", "Carla Jensen"],
         messages=[("Alice Morgan", "10:14 AM", "The release branch is cut. Please merge only fixes from now on."),
                   ("Brian Walsh", "10:16 AM", "Understood. The installer build failed once on Windows, retrying now."),
                   ("Carla Jensen", "10:21 AM", "Release notes draft is in the shared folder, please review the "
                                                "upgrade section."),
                   ("Alice Morgan", "10:32 AM", "Thanks! Planning review at 2 PM, I will share my screen."),
                   ("David Brooks", "10:40 AM", "Checksums for all packages are verified and uploaded."),
                   ("Brian Walsh", "10:47 AM", "Windows installer is green now. Last edit was the signing step.")]),
    dict(workspace="Chats", channel="Maria Keller", topic="online",
         chats=[("*Maria Keller", "9:41 AM", "See you at the station"),
                ("Tom Fischer", "9:02 AM", "The slides look great"),
                ("Family", "Yesterday", "Dad: Sunday lunch at noon?"),
                ("Book club", "Yesterday", "Next book is on the list"),
                ("Priya Raman", "Monday", "Sent the invoice"),
                ("Lukas Brandt", "Sunday", "Photo")],
         bubbles=[(0, "Are you taking the early train tomorrow?", "9:30 AM"),
                  (1, "Yes, the one at 7:15. I booked two seats.", "9:32 AM"),
                  (0, "Perfect. I will bring the printed tickets and some coffee.", "9:35 AM"),
                  (1, "Great, the meeting starts at 10 so we have plenty of time.", "9:38 AM"),
                  (0, "See you at the station", "9:41 AM")]),
]


# A third chat, for tuning: the bubbles layout with other people and words.
CHAT.append(dict(
    workspace="Chats", channel="Garden club", topic="Nadia, Tomas, Ines, you",
    chats=[("*Garden club", "09:41", "Ines: the seed order is in"), ("Tomas Berg", "Yesterday", "See you at the plot"),
           ("Nadia Rahimi", "Yesterday", "Photo"), ("Bike repair shop", "Mon", "Your bike is ready for pickup"),
           ("Mum", "Sun", "Call me when you land"), ("Flat 3B", "Sat", "Who took the recycling out?")],
    bubbles=[(False, "Morning! Did anyone water the tomatoes?", "08:02"),
             (True, "I did, around seven. The soil was very dry.", "08:05"),
             (False, "Thanks. We should fix the hose before Saturday.", "08:11"),
             (False, "I can bring a new connector from the hardware store", "08:12"),
             (True, "Great, I will bring gloves and the big shears", "08:20"),
             (False, "The seed order is in: beans, kale, two kinds of lettuce", "09:41")]))


def chat(v, theme):
    t = THEMES[theme]
    c = CHAT[v]
    if v == 0:
        side = (f"<div class='ws'>{c['workspace']}</div><div class='it'>Threads</div><div class='it'>Mentions</div>"
                f"<div class='hd'>Channels</div>"
                + "".join(f"<div class='it{' on' if n.startswith('*') else ''}'># {n.lstrip('*')}</div>"
                          for n in c["channels"])
                + "<div class='hd'>Direct messages</div>"
                + "".join(f"<div class='it'><i style='background:{'#2bac76' if i < 2 else 'transparent'}'></i>{n}</div>"
                          for i, n in enumerate(c["people"])))
        msgs = "".join(f"<div class='msg'><div class='av'></div><div><div><b>{n}</b> <span class='dim'>{tm}</span>"
                       f"</div><div class='bub'>{esc(m)}</div></div></div>" for n, tm, m in c["messages"])
        main = (f"<div class='head'><b># {c['channel']}</b> <span class='dim'>{c['topic']}</span>"
                f"<span class='dim' style='float:right'>{c['members']}</span></div><div class='grow'>{msgs}</div>"
                f"<div class='compose dim'>Message #{c['channel']}</div>")
        css = (".side{width:260px;background:#3f0e40;color:#cfc3cf;padding:14px 0}.ws{color:#fff;font-weight:bold;"
               "font-size:17px;padding:0 18px 14px}.it{padding:5px 18px}.it.on{background:#1164a3;color:#fff}"
               ".hd{padding:14px 18px 4px;color:#a593a5}i{display:inline-block;width:9px;height:9px;"
               "border-radius:5px;margin-right:8px;border:1px solid #a593a5}"
               f".head{{padding:14px 20px;border-bottom:1px solid {t['line']};font-size:15px}}"
               ".msg{display:flex;gap:12px;padding:10px 20px}.av{width:36px;height:36px;border-radius:6px;"
               "background:#e8912d}.bub{background:#f0f2f5;border-radius:12px;padding:8px 12px;margin-top:4px}"
               f".compose{{margin:16px 20px;border:1px solid {t['line']};border-radius:8px;padding:12px}}")
        draft = [c["workspace"], "Threads", "Mentions", "Channels"] + [f"# {n.lstrip('*')}" for n in c["channels"]]
        draft += ["Direct messages"] + c["people"]
        draft += [f"# {c['channel']} {c['topic']} {c['members']}"]
        for n, tm, m in c["messages"]:
            draft += [f"{n} {tm}", m]
        draft += [f"Message #{c['channel']}"]
        tags = {"lost": [f"#{c['channel']}", "Threads", "Mentions", "Channels", c["workspace"]],
                "glyph": [w for _, tm, _ in c["messages"] for w in tm.split()]}
    else:
        side = (f"<div class='ws'>{c['workspace']}</div><div class='search dim'>Search or start a new chat</div>"
                + "".join(f"<div class='chat{' sel' if n.startswith('*') else ''}'><div class='av'></div><div "
                          f"class='grow'><div><b>{n.lstrip('*')}</b><span class='dim' style='float:right'>{tm}</span>"
                          f"</div><div class='dim'>{m}</div></div></div>" for n, tm, m in c["chats"]))
        msgs = "".join(f"<div class='b {'me' if me else ''}'>{esc(m)}<span class='dim tm'>{tm}</span></div>"
                       for me, m, tm in c["bubbles"])
        main = (f"<div class='head'><b>{c['channel']}</b><div class='dim' style='font-size:12px'>{c['topic']}</div>"
                f"</div><div class='grow msgs'>{msgs}</div><div class='compose dim'>Type a message</div>")
        css = (f".side{{width:400px;border-right:1px solid {t['line']}}}.ws{{font-size:20px;font-weight:bold;"
               "padding:16px}.search{margin:0 14px 10px;background:#f0f2f5;border-radius:8px;padding:8px 12px}"
               ".chat{display:flex;gap:12px;padding:10px 14px}.av{width:44px;height:44px;border-radius:22px;"
               "background:#c9d3dd}.head{padding:12px 18px;background:#f0f2f5}.msgs{background:#efeae2;"
               "padding:20px 40px;display:flex;flex-direction:column;gap:10px}.b{background:#fff;padding:7px 10px;"
               "border-radius:8px;max-width:520px;align-self:flex-start}.b.me{background:#d9fdd3;margin-left:auto}"
               ".tm{font-size:11px;margin-left:12px}.compose{background:#f0f2f5;padding:14px 20px}")
        draft = [c["workspace"], "Search or start a new chat"]
        for n, tm, m in c["chats"]:
            draft += [f"{n.lstrip('*')} {tm}", m]
        draft += [c["channel"], c["topic"]] + [f"{m} {tm}" for _, m, tm in c["bubbles"]] + ["Type a message"]
        tags = {"glyph": [w for _, _, tm in c["bubbles"] for w in tm.split()], "lost": ["Chats", "online"]}
    body = f"<div class='row' style='height:100%'><div class='side'>{side}</div><div class='col grow'>{main}</div></div>"
    return Page(c["channel"], page(c["channel"], css, body, theme, size=14), draft, tags)


# --- spreadsheet -----------------------------------------------------------

SHEETS = [
    dict(title="Regional sales 2026", cell="E15", formula="=SUM(E2:E14)", tabs=["Sales", "Costs", "Summary"],
         rows=[["Region", "Manager", "Orders", "Revenue", "Margin", "Status"],
               ["North", "Alice Morgan", "1284", "52,310", "18.2%", "On track"],
               ["South", "Brian Walsh", "972", "40,115", "12.9%", "Delayed"],
               ["East", "Carla Jensen", "1530", "61,870", "21.4%", "On track"],
               ["West", "David Brooks", "845", "33,402", "9.8%", "Review"],
               ["Central", "Emma Fischer", "1121", "47,990", "16.0%", "On track"],
               ["Coast", "Frank Duval", "690", "28,540", "11.1%", "Delayed"],
               ["Valley", "Grace Owens", "1405", "58,225", "19.7%", "On track"],
               ["Harbor", "Henry Stone", "760", "30,980", "10.4%", "Review"],
               ["Summit", "Irene Wolfe", "1012", "42,660", "15.5%", "On track"],
               ["Lakes", "James Porter", "918", "37,145", "13.0%", "Delayed"],
               ["Plains", "Kara Lindqvist", "1189", "49,032", "17.3%", "On track"],
               ["Delta", "Leo Martins", "803", "31,774", "8.6%", "Review"],
               ["Islands", "Mina Okafor", "655", "26,418", "14.2%", "On track"],
               ["Total", "", "13184", "540,461", "", ""]]),
    dict(title="Team budget", cell="B9", formula="=B3+B4+B5+B6+B7", tabs=["Budget", "Travel"],
         rows=[["Item", "Q1", "Q2", "Q3", "Q4", "Owner", "Notes"],
               ["Rent", "12,000", "12,000", "12,400", "12,400", "Facilities", "new lease in July"],
               ["Salaries", "84,500", "86,200", "88,900", "89,300", "People team", ""],
               ["Software", "4,310", "4,450", "4,470", "5,120", "IT", "renewals due in Q4"],
               ["Travel", "3,200", "5,800", "2,100", "6,400", "Finance", "conference season"],
               ["Training", "1,500", "2,250", "900", "3,000", "People team", ""],
               ["Hardware", "7,800", "1,200", "2,600", "9,950", "IT", "laptop refresh"],
               ["", "", "", "", "", "", ""],
               ["Total", "113,310", "111,900", "111,370", "126,170", "", ""]]),
]


def spreadsheet(v, theme):
    t = THEMES[theme]
    s = SHEETS[v]
    ncols, nrows = (17, 34) if v == 0 else (12, 26)
    letters = [chr(ord("A") + i) for i in range(ncols)]
    width = 108 if v == 0 else 150
    grid = "<tr><th class='corner'></th>" + "".join(f"<th>{x}</th>" for x in letters) + "</tr>"
    for r in range(1, nrows + 1):
        cells = s["rows"][r - 1] if r <= len(s["rows"]) else []
        grid += f"<tr><th>{r}</th>" + "".join(
            f"<td{' class=n' if any(ch.isdigit() for ch in x) else ''}>{esc(x)}</td>"
            for x in (cells + [""] * ncols)[:ncols]) + "</tr>"
    menu = "".join(f"<span>{m}</span>" for m in ["File", "Edit", "View", "Insert", "Format", "Data", "Tools", "Help"])
    tabs = "".join(f"<span class='{'on' if i == 0 else ''}'>{x}</span>" for i, x in enumerate(s["tabs"]))
    css = (f".title{{font-size:18px;padding:8px 14px 2px}}.menu{{display:flex;gap:16px;padding:4px 14px 8px}}"
           f".fx{{display:flex;border-top:1px solid {t['line']};border-bottom:1px solid {t['line']}}}"
           f".fx div{{padding:5px 10px}}.name{{width:90px;border-right:1px solid {t['line']}}}"
           f".fxl{{color:{t['dim']};font-style:italic;border-right:1px solid {t['line']}}}"
           f"table{{border-collapse:collapse;table-layout:fixed}}td,th{{border:1px solid {t['line']};height:22px;"
           f"width:{width}px;padding:0 5px;white-space:nowrap;overflow:hidden}}th{{background:{t['panel']};"
           f"font-weight:normal;color:{t['dim']};text-align:center}}tr th:first-child{{width:46px}}"
           f"td.n{{text-align:right}}.tabs{{position:fixed;bottom:0;left:0;right:0;display:flex;background:{t['panel']};"
           f"padding:6px 14px;gap:6px}}.tabs span{{padding:3px 14px}}.tabs .on{{background:{t['bg']};"
           f"color:{t['accent']};font-weight:bold}}")
    body = (f"<div class='title'>{s['title']}</div><div class='menu'>{menu}</div><div class='fx'><div class='name'>"
            f"{s['cell']}</div><div class='fxl'>fx</div><div>{s['formula']}</div></div><table>{grid}</table>"
            f"<div class='tabs'>{tabs}</div>")
    draft = [s["title"], "File Edit View Insert Format Data Tools Help", f"{s['cell']} fx {s['formula']}",
             " ".join(letters)]
    for r in range(1, nrows + 1):
        cells = s["rows"][r - 1] if r <= len(s["rows"]) else []
        draft.append(" ".join([str(r)] + [x for x in cells if x]))
    draft.append(" ".join(s["tabs"]))
    tags = {"lost": letters + [str(r) for r in range(1, nrows + 1)] + [s["formula"], s["cell"]]}
    return Page(s["title"], page(s["title"], css, body, theme, size=13), draft, tags)


# --- settings dialog -------------------------------------------------------

SETTINGS = [
    dict(title="Preferences", nav=["General", "Appearance", "*Notifications", "Privacy", "Accounts", "Advanced"],
         heading="Notifications", size=12,
         rows=[("toggle1", "Desktop notifications", "Show a banner when a new message arrives"),
               ("toggle1", "Play a sound", "Use the system sound for incoming messages"),
               ("toggle0", "Do not disturb", "Silence notifications outside working hours"),
               ("-toggle0", "Mobile push", "Requires the mobile app to be installed"),
               ("check1", "Show message preview", ""),
               ("check0", "Include muted channels", ""),
               ("-check0", "Notify me about replies in threads I follow", ""),
               ("select", "Reminder time", "15 minutes before"),
               ("select", "Language", "English (United States)")],
         buttons=["Restore defaults", "Cancel", "*Apply"]),
    dict(title="System Settings", nav=["Wi-Fi", "Bluetooth", "*Displays", "Sound", "Power", "Keyboard", "Users"],
         heading="Displays", size=11,
         rows=[("select", "Resolution", "1920 x 1080 (recommended)"),
               ("select", "Refresh rate", "60 Hz"),
               ("select", "Scale", "100%"),
               ("toggle1", "Night light", "Reduce blue light after sunset"),
               ("-toggle0", "HDR", "Not supported by this display"),
               ("check1", "Mirror displays", ""),
               ("-check0", "Use as main display", ""),
               ("toggle0", "Automatic brightness", "Adjust to the light around you"),
               ("select", "Orientation", "Landscape")],
         buttons=["Identify", "Cancel", "*Apply"]),
]


def control(kind, t):
    on = kind.endswith("1")
    if "toggle" in kind:
        return (f"<span style='display:inline-block;width:34px;height:18px;border-radius:9px;position:relative;"
                f"background:{t['accent'] if on else t['line']}'><span style='position:absolute;top:2px;"
                f"left:{18 if on else 2}px;width:14px;height:14px;border-radius:7px;background:#fff'></span></span>")
    if "check" in kind:
        return (f"<span style='display:inline-block;width:14px;height:14px;border-radius:3px;border:1px solid "
                f"{t['dim']};background:{t['accent'] if on else 'transparent'};margin-right:8px;"
                f"vertical-align:middle'></span>")
    return ""


def settings(v, theme):
    t = THEMES[theme]
    s = SETTINGS[v]
    nav = "".join(f"<div class='nv{' sel' if n.startswith('*') else ''}'>{n.lstrip('*')}</div>" for n in s["nav"])
    rows, draft = "", [s["title"]] + [n.lstrip("*") for n in s["nav"]] + [s["heading"]]
    greyed = []
    for kind, label, hint in s["rows"]:
        off = kind.startswith("-")
        style = " style='opacity:.45'" if off else ""
        if kind.lstrip("-").startswith("check"):
            rows += f"<div class='sr'{style}><label>{control(kind, t)}{esc(label)}</label></div>"
            draft.append(label)
        elif kind == "select":
            rows += (f"<div class='sr'{style}><div class='grow'>{esc(label)}</div><div class='dd'>{esc(hint)}"
                     f"<span class='car'></span></div></div>")
            draft.append(f"{label} {hint}")
        else:
            rows += (f"<div class='sr'{style}><div class='grow'>{esc(label)}<div class='dim'>{esc(hint)}</div></div>"
                     f"{control(kind, t)}</div>")
            draft += [label, hint]
        if off:
            greyed += (label + " " + hint).split()
    buttons = "".join(f"<button class='{'p' if b.startswith('*') else ''}'>{b.lstrip('*')}</button>"
                      for b in s["buttons"])
    draft.append(" ".join(b.lstrip("*") for b in s["buttons"]))
    css = (f".win{{height:100%;display:flex;flex-direction:column}}.tb{{padding:8px 14px;background:{t['panel']};"
           f"border-bottom:1px solid {t['line']};font-weight:bold}}.side{{width:200px;background:{t['panel']};"
           f"padding:10px 8px;border-right:1px solid {t['line']}}}.nv{{padding:6px 10px;border-radius:5px}}"
           f"h2{{font-size:16px;margin:4px 0 12px}}.main{{padding:18px 26px}}.sr{{display:flex;align-items:center;"
           f"padding:9px 0;border-bottom:1px solid {t['line']}}}.dd{{border:1px solid {t['line']};border-radius:4px;"
           f"padding:3px 26px 3px 8px;position:relative;min-width:200px}}.car{{position:absolute;right:9px;top:7px;"
           f"border:4px solid transparent;border-top:5px solid {t['fg']}}}.foot{{display:flex;gap:8px;"
           f"justify-content:flex-end;padding:12px 20px;border-top:1px solid {t['line']}}}button{{font:inherit;"
           f"padding:5px 14px;border-radius:4px;border:1px solid {t['line']};background:{t['panel']};color:{t['fg']}}}"
           f"button.p{{background:{t['accent']};border-color:{t['accent']};color:#fff}}")
    body = (f"<div class='win'><div class='tb'>{s['title']}</div><div class='row grow'><div class='side'>{nav}</div>"
            f"<div class='main grow'><h2>{s['heading']}</h2>{rows}</div></div><div class='foot'>{buttons}</div></div>")
    tags = {"lost": greyed + [s["heading"]] + [b.lstrip("*") for b in s["buttons"]]}
    return Page(s["title"], page(s["title"], css, body, theme, size=s["size"]), draft, tags)


# --- landing page ----------------------------------------------------------

LANDING = [
    dict(brand="Northwind", links=["Product", "Pricing", "Docs", "Blog"], cta="Sign in",
         heading="Planning Reviews Made Simple",
         lead="Collect feedback, track decisions and keep every review in one place for your whole team.",
         buttons=["Start free trial", "Watch the demo"],
         features=[("Shared agendas", "Everyone sees the same list of topics and can add items before the meeting "
                                      "starts."),
                   ("Decision log", "Each decision is stored with its reason, the people involved and the date it "
                                    "was made."),
                   ("Quiet reminders", "A short summary arrives the morning after, with open items and their "
                                       "owners.")],
         footer=["Privacy", "Terms", "Contact", "Status"]),
    dict(brand="Brightline", links=["Features", "Customers", "Integrations", "Careers"], cta="Get started",
         heading="Invoices Finished in Minutes",
         lead="Import your time sheets, review the draft and send a clean invoice without leaving the browser.",
         buttons=["Create an invoice", "Talk to sales"],
         features=[("Automatic import", "Time entries from your tracker become line items with the right rates "
                                        "applied."),
                   ("Clear reminders", "Friendly emails go out when a payment is late, and stop when it arrives."),
                   ("Simple exports", "Download every invoice as a spreadsheet or a signed file for your "
                                      "accountant.")],
         footer=["About", "Security", "Help center", "Imprint"]),
]


# A fourth column of features, and a longer lead.
LANDING.append(dict(
    brand="Tidewater", links=["Features", "Customers", "Pricing"], cta="Get started",
    heading="Backups You Never Think About",
    lead="Every laptop and server in your company, copied every hour to two regions and restored in minutes.",
    buttons=["Try it free", "Talk to sales"],
    features=[("Hourly snapshots", "Changed files are copied every hour, so a lost afternoon of work is never more "
                                   "than an hour away."),
              ("Two regions", "Each copy is kept in two data centres far apart, and both are checked every night."),
              ("Fast restores", "Pick a file, a folder or a whole machine and get it back while you make coffee."),
              ("Clear pricing", "One price per device, whatever the amount of data, billed monthly or yearly.")],
    footer=["About", "Security", "Careers", "Press"]))


def landing(v, theme):
    t = THEMES[theme]
    s = LANDING[v]
    links = "".join(f"<a>{x}</a>" for x in s["links"])
    feats = "".join(f"<div class='ft'><h3>{a}</h3><p>{b}</p><a class='u'>Learn more</a></div>" for a, b in s["features"])
    foot = "".join(f"<a class='u'>{x}</a>" for x in s["footer"])
    hero_bg = "#f5f7fb" if theme == "light" else "#161b22"
    css = (f".nav{{display:flex;align-items:center;gap:30px;padding:18px 80px;border-bottom:1px solid {t['line']}}}"
           f".brand{{font-weight:bold;font-size:22px;margin-right:auto}}.nav a{{font-size:16px}}"
           f".cta{{background:{t['accent']};color:#fff;padding:9px 20px;border-radius:6px;font-weight:bold}}"
           f".hero{{background:{hero_bg};padding:90px 80px 80px}}h1{{font-size:56px;font-weight:bold;"
           f"line-height:1.15}}.lead{{font-size:20px;margin:22px 0 34px;max-width:900px}}"
           f".b1{{background:{t['accent']};color:#fff;padding:14px 28px;border-radius:8px;font-size:17px;"
           f"font-weight:bold;margin-right:14px}}.b2{{border:2px solid {t['accent']};color:{t['accent']};"
           f"padding:12px 26px;border-radius:8px;font-size:17px}}.fts{{display:flex;gap:60px;padding:60px 80px}}"
           f".ft{{flex:1}}h3{{font-size:22px;margin-bottom:12px}}.ft p{{font-size:16px;line-height:1.5;"
           f"margin-bottom:12px}}a.u{{color:{t['accent']};text-decoration:underline}}"
           f".foot{{display:flex;gap:28px;padding:24px 80px;border-top:1px solid {t['line']}}}")
    body = (f"<div class='nav'><span class='brand'>{s['brand']}</span>{links}<span class='cta'>{s['cta']}</span></div>"
            f"<div class='hero'><h1>{s['heading']}</h1><div class='lead'>{s['lead']}</div><span class='b1'>"
            f"{s['buttons'][0]}</span><span class='b2'>{s['buttons'][1]}</span></div><div class='fts'>{feats}</div>"
            f"<div class='foot'>{foot}</div>")
    draft = [" ".join([s["brand"]] + s["links"] + [s["cta"]]), s["heading"], s["lead"], " ".join(s["buttons"])]
    for a, b in s["features"]:
        draft += [a, b, "Learn more"]
    draft.append(" ".join(s["footer"]))
    tags = {"lost": s["heading"].split() + s["buttons"][0].split() + s["cta"].split(),
            "glyph": ["Learn", "more"] * 3 + [w for w in s["heading"].split() if "i" in w]}
    return Page(s["brand"], page(s["brand"], css, body, theme, font="DejaVu Sans", size=15), draft, tags)


# --- mail ------------------------------------------------------------------

MAIL = [
    dict(account="lena.vogt@example.de", folders=["*Posteingang 12", "Entwürfe", "Gesendet", "Archiv", "Papierkorb"],
         list=[("*Jürgen Köhler", "09:12", "Übergabe der Schlüssel für Köln"),
               ("Anna Schäfer", "08:47", "Größere Bestellung für März"),
               ("Team Büro", "Gestern", "Neue Öffnungszeiten der Kantine"),
               ("Stadtwerke München", "Gestern", "Ihre Rechnung für Februar"),
               ("Markus Weiß", "Mo.", "Rückfrage zum Angebot")],
         subject="Übergabe der Schlüssel für Köln", sender="Jürgen Köhler <j.koehler@example.de>",
         date="Dienstag, 7. März 2026, 09:12",
         body=["Hallo Lena,",
               "",
               "die Übergabe der Schlüssel für das Büro in Köln ist am Donnerstag um 14 Uhr.",
               "Bitte bring die unterschriebene Vereinbarung und deinen Ausweis mit.",
               "Für größere Lieferungen nutzen wir künftig den Hintereingang an der Straße.",
               "",
               "Die Möbel werden am Freitag geliefert, die Kisten bleiben bis Montag im Flur.",
               "Falls du Fragen hast, ruf mich gern an: 0221 555 0147.",
               "",
               "Viele Grüße",
               "Jürgen"],
         actions=["Antworten", "Allen antworten", "Weiterleiten", "Löschen"]),
    dict(account="sam.porter@example.com", folders=["*Inbox 4", "Starred", "Drafts 1", "Sent", "Spam", "Trash"],
         list=[("*Olivia Grant", "11:05 AM", "Budget review moved to Friday"),
               ("GitHub", "10:48 AM", "[kestrel/api] Pull request #482 merged"),
               ("Anna Schäfer", "9:20 AM", "Re: Lieferung nach Köln"),
               ("Payroll", "Yesterday", "Your March payslip is available"),
               ("Conference Team", "Mar 5", "Your ticket and hotel details"),
               ("Olivia Grant", "Mar 4", "Slides for the board meeting")],
         subject="Budget review moved to Friday", sender="Olivia Grant <olivia.grant@example.com>",
         date="Tue, Mar 7, 2026, 11:05 AM",
         body=["Hi Sam,",
               "",
               "the budget review moved from Wednesday to Friday at 3:30 PM, same room.",
               "Could you bring the updated travel figures and the hardware quotes?",
               "I attached last quarter's summary so we can compare the numbers.",
               "",
               "Thanks,",
               "Olivia"],
         actions=["Reply", "Reply all", "Forward", "Archive"]),
]


# Dark and in English; the list shares the reading pane's background, its lines level with the message's by chance.
MAIL.append(dict(
    account="sam.ortiz@fieldnotes.io", folders=["*Inbox 4", "Starred", "Sent", "Drafts", "Spam"],
    list=[("*Grace Liu", "11:05", "Survey results from the coast"), ("Field Ops", "10:40", "Van booking for next week"),
          ("Hannah Berg", "09:12", "Re: Sample labels"), ("Library", "Mon", "Your loan is due soon"),
          ("Omar Haddad", "Mon", "Photos from the river trip"), ("Payroll", "Fri", "March payslip available")],
    subject="Survey results from the coast",
    sender="Grace Liu <grace@fieldnotes.io>",
    date="Wednesday, 11 March 2026, 11:05",
    body=["Hi Sam,", "",
          "the survey team finished the last transect on Monday and all forty plots are counted.",
          "The dune plots look healthier than last year, mostly thanks to the new fences.",
          "Two of the salt marsh plots flooded, so we will repeat them in April.", "",
          "I have put the spreadsheet and the photos in the shared folder.",
          "Could you check the species codes before we send the report on Friday?", "",
          "Thanks,", "Grace"],
    actions=["Reply", "Reply all", "Forward", "Delete"]))


def mail(v, theme):
    t = THEMES[theme]
    s = MAIL[v]
    folders = "".join(f"<div class='fo{' sel' if f.startswith('*') else ''}'>{f.lstrip('*')}</div>" for f in s["folders"])
    items = "".join(f"<div class='li{' sel' if n.startswith('*') else ''}'><div><b>{n.lstrip('*')}</b><span class='dim' "
                    f"style='float:right'>{tm}</span></div><div>{esc(sub)}</div></div>" for n, tm, sub in s["list"])
    acts = "".join(f"<button>{a}</button>" for a in s["actions"])
    text = "".join(f"<p>{esc(x) or '&nbsp;'}</p>" for x in s["body"])
    compose = "Verfassen" if v == 0 else "Compose"
    css = (f".side{{width:230px;background:{t['panel']};padding:14px 8px}}.acc{{padding:0 10px 12px;font-size:12px}}"
           f".new{{background:{t['accent']};color:#fff;border-radius:6px;padding:9px 14px;margin:0 6px 12px;"
           f"font-weight:bold}}.fo{{padding:6px 12px;border-radius:4px}}.list{{width:430px;border-right:1px solid "
           f"{t['line']}}}.li{{padding:10px 16px;border-bottom:1px solid {t['line']};line-height:1.5}}"
           f".read{{padding:22px 32px}}h2{{font-size:20px;margin-bottom:10px}}.acts{{margin:14px 0 20px}}"
           f"button{{font:inherit;margin-right:8px;padding:5px 12px;border:1px solid {t['line']};border-radius:4px;"
           f"background:{t['bg']};color:{t['fg']}}}.read p{{line-height:1.6;font-size:15px}}")
    body = (f"<div class='row' style='height:100%'><div class='side'><div class='acc dim'>{s['account']}</div>"
            f"<div class='new'>{compose}</div>{folders}</div><div class='list'>{items}</div><div class='read grow'>"
            f"<h2>{esc(s['subject'])}</h2><div>{esc(s['sender'])}</div><div class='dim'>{s['date']}</div>"
            f"<div class='acts'>{acts}</div>{text}</div></div>")
    draft = [s["account"], compose] + [f.lstrip("*") for f in s["folders"]]
    for n, tm, sub in s["list"]:
        draft += [f"{n.lstrip('*')} {tm}", sub]
    draft += [s["subject"], s["sender"], s["date"], " ".join(s["actions"])] + [x for x in s["body"] if x]
    tags = {"lost": [compose] + s["folders"][0].lstrip("*").split()}
    return Page(s["subject"], page(s["subject"], css, body, theme, size=14), draft, tags)


INBOX = dict(
    account="Inbox - ops@harbor.dev",
    list=[("*Mira Okafor", "10:24", "Rollout of the new build agents",
           "The first four agents are live in the east region and"),
          ("Build bot", "09:58", "Nightly build 2231 passed", "All 412 tests passed in 18 minutes on every platform."),
          ("Daniel Frost", "09:15", "Budget for the next quarter", "Attached is the draft, please add the hosting costs"),
          ("Security team", "Yesterday", "Rotate your deploy keys", "Keys older than ninety days stop working on Monday."),
          ("Ana Lima", "Yesterday", "Lunch on Friday?", "There is a new noodle place next to the station.")],
    subject="Rollout of the new build agents",
    sender="From: Mira Okafor <mira@harbor.dev>",
    to="To: Operations <ops@harbor.dev>",
    date="Thursday 12 March, 10:24",
    body=["Hi team,",
          "The first four agents are live in the east region and have taken over the nightly builds. Queue times "
          "dropped from eleven minutes to under two, and no job has failed on the new machines so far.",
          "Next week we move the release pipeline. Please do not change the runner labels until then, the old agents "
          "still pick up anything tagged with them.",
          "If a build hangs, post the job number in the channel and we will look at it the same day.",
          "Thanks, Mira"],
)


def mail_panes(theme):
    """A message list beside the reading pane, no folder sidebar: each item three lines deep."""
    s, t = INBOX, THEMES[theme]
    items = "".join(f"<div class='li{' sel' if n.startswith('*') else ''}'><div><b>{esc(n.lstrip('*'))}</b><span "
                    f"class='dim' style='float:right'>{tm}</span></div><div>{esc(sub)}</div><div class='dim'>"
                    f"{esc(pre)}</div></div>" for n, tm, sub, pre in s["list"])
    css = (f".top{{padding:10px 20px;background:{t['panel']};font-weight:bold}}.list{{width:470px;background:"
           f"{t['panel']}}}.li{{padding:10px 18px;border-bottom:1px solid {t['line']};line-height:1.45}}"
           f".read{{padding:26px 40px}}h2{{font-size:22px;margin-bottom:12px}}.meta{{line-height:1.5;"
           f"margin-bottom:22px}}.read p{{line-height:1.6;font-size:15px;margin-bottom:14px;max-width:760px}}")
    text = "".join(f"<p>{esc(x)}</p>" for x in s["body"])
    body = (f"<div class='col' style='height:100%'><div class='top'>{s['account']}</div><div class='row grow'>"
            f"<div class='list'>{items}</div><div class='read grow'><h2>{esc(s['subject'])}</h2><div class='meta'>"
            f"<div>{esc(s['sender'])}</div><div>{esc(s['to'])}</div><div class='dim'>{s['date']}</div></div>"
            f"{text}</div></div></div>")
    draft = [s["account"]]
    for n, tm, sub, pre in s["list"]:
        draft += [f"{n.lstrip('*')} {tm}", sub, pre]
    draft += [s["subject"], s["sender"], s["to"], s["date"]] + s["body"]
    return Page(s["subject"], page(s["subject"], css, body, theme, size=14), draft, {})


# --- file manager ----------------------------------------------------------

FILES = [
    dict(path=["Home", "Documents", "Reports"], places=["Recent", "Starred", "Home", "*Documents", "Downloads",
                                                          "Music", "Pictures", "Videos", "Trash"],
         devices=["Other Locations", "backup-disk"],
         files=[("2025", "Folder", "4 items", "Jan 12"), ("drafts", "Folder", "9 items", "Feb 28"),
                ("annual-report-2025.pdf", "PDF document", "3.4 MB", "Mar 2"),
                ("board-minutes.odt", "Document", "48.2 kB", "Mar 1"),
                ("budget_q1.xlsx", "Spreadsheet", "212.7 kB", "Feb 27"),
                ("customer_survey_results.csv", "CSV file", "1.1 MB", "Feb 20"),
                ("hiring-plan.md", "Markdown", "6.3 kB", "Feb 18"),
                ("logo_final_v3.png", "PNG image", "820.4 kB", "Feb 11"),
                ("meeting-notes.txt", "Text", "3.9 kB", "Feb 10"),
                ("office_move_checklist.pdf", "PDF document", "256.0 kB", "Jan 30"),
                ("roadmap.svg", "SVG image", "92.5 kB", "Jan 22"),
                ("travel_expenses_jan.xlsx", "Spreadsheet", "64.8 kB", "Jan 19")],
         status="12 items, 1 selected (3.4 MB)", selected=2),
    dict(path=["Home", "Pictures", "Holiday 2025"], places=["Recent", "Home", "Desktop", "Downloads",
                                                             "*Pictures", "Music", "Trash"],
         devices=["Network", "USB Drive"],
         files=[(n, "", "", "") for n in ["beach_morning.jpg", "harbour.jpg", "old_town.jpg", "sunset_01.jpg",
                                          "sunset_02.jpg", "market.jpg", "train_station.jpg", "lighthouse.jpg",
                                          "dinner.jpg", "museum_ticket.pdf", "route_map.png", "notes.txt",
                                          "IMG_2041.jpg", "IMG_2042.jpg", "IMG_2043.jpg", "video_clip.mp4"]],
         status="16 items, 412.9 MB", selected=-1),
]


def files(v, theme):
    t = THEMES[theme]
    s = FILES[v]
    places = "".join(f"<div class='pl{' sel' if p.startswith('*') else ''}'>{p.lstrip('*')}</div>" for p in s["places"])
    devices = "".join(f"<div class='pl'>{p}</div>" for p in s["devices"])
    crumbs = "<span class='sep'>/</span>".join(f"<span class='cr'>{p}</span>" for p in s["path"])
    draft = s["path"][:]
    if v == 0:
        head = "<tr><th>Name</th><th>Size</th><th>Type</th><th>Modified</th></tr>"
        rows = "".join(f"<tr class='{'sel' if i == s['selected'] else ''}'><td><span class='ic{' d' if k == 'Folder' else ''}'>"
                       f"</span>{n}</td><td>{sz}</td><td>{k}</td><td>{d}</td></tr>"
                       for i, (n, k, sz, d) in enumerate(s["files"]))
        content = f"<table>{head}{rows}</table>"
        main_draft = ["Name Size Type Modified"] + [f"{n} {sz} {k} {d}" for n, k, sz, d in s["files"]]
    else:
        content = "<div class='grid'>" + "".join(f"<div class='cell'><div class='th'></div>{n}</div>"
                                                 for n, _, _, _ in s["files"]) + "</div>"
        main_draft = [" ".join(n for n, _, _, _ in s["files"][i:i + 6]) for i in range(0, len(s["files"]), 6)]
    css = (f".top{{display:flex;align-items:center;gap:8px;padding:8px 14px;background:{t['panel']};"
           f"border-bottom:1px solid {t['line']}}}.cr{{padding:4px 10px;border-radius:4px;background:{t['bg']}}}"
           f".sep{{color:{t['dim']}}}.side{{width:210px;background:{t['panel']};padding:10px 6px}}.pl{{padding:6px "
           f"14px;border-radius:4px}}.hd{{padding:14px 14px 4px;color:{t['dim']};font-size:12px}}"
           f"table{{border-collapse:collapse;width:100%}}th{{text-align:left;font-weight:normal;color:{t['dim']};"
           f"padding:8px 14px;border-bottom:1px solid {t['line']}}}td{{padding:6px 14px}}.ic{{display:inline-block;"
           f"width:16px;height:14px;background:{t['dim']};margin-right:10px;vertical-align:middle;border-radius:2px}}"
           f".ic.d{{background:#e0a526}}.grid{{display:grid;grid-template-columns:repeat(6,180px);gap:18px;"
           f"padding:20px}}.cell{{text-align:center;font-size:13px}}.th{{height:90px;margin:0 20px 8px;"
           f"border-radius:6px;background:linear-gradient(135deg,#2d6a8f,#9bc2a5)}}.status{{position:fixed;"
           f"bottom:0;left:210px;right:0;padding:6px 14px;border-top:1px solid {t['line']};color:{t['dim']}}}")
    body = (f"<div class='top'>{crumbs}</div><div class='row' style='height:100%'><div class='side'>{places}"
            f"<div class='hd'>Devices</div>{devices}</div><div class='grow'>{content}</div></div>"
            f"<div class='status'>{s['status']}</div>")
    draft = [" ".join(s["path"])] + [p.lstrip("*") for p in s["places"]] + ["Devices"] + s["devices"]
    draft += main_draft + [s["status"]]
    tags = {"glyph": [n for n, _, _, _ in s["files"] if "_" in n], "lost": ["Devices"]}
    return Page(s["path"][-1], page(s["path"][-1], css, body, theme, size=14), draft, tags)


# --- IDE with panels -------------------------------------------------------

IDE = [
    dict(project="inventory-service", tree=["inventory-service", "src/main/java", "*StockLevel.java",
                                             "Warehouse.java", "ReorderPolicy.java", "src/test/java",
                                             "StockLevelTest.java", "build.gradle", "settings.gradle"],
         tab="StockLevel.java",
         code="""package com.example.inventory;

import java.util.Objects;

public final class StockLevel {
    private static final int REORDER_POINT = 25;
    private final String sku;
    private int on_hand;

    public StockLevel(String sku, int onHand) {
        this.sku = Objects.requireNonNull(sku);
        this.on_hand = onHand;
    }

    public boolean needsReorder() {
        return on_hand < REORDER_POINT;
    }
}""",
         outline=["StockLevel", "REORDER_POINT", "sku", "on_hand", "StockLevel(String, int)", "needsReorder()"],
         panel_tabs=["Problems", "Output", "*Terminal", "Debug Console"],
         terminal=["$ ./gradlew test", "> Task :compileJava UP-TO-DATE", "> Task :test",
                   "StockLevelTest > reorderBelowPoint() PASSED", "StockLevelTest > keepsSku() PASSED",
                   "BUILD SUCCESSFUL in 4s"],
         status="Java 21  Ln 16, Col 36  UTF-8  4 spaces"),
    dict(project="weather-app", tree=["weather-app", "app", "*forecast.go", "handlers.go", "cache.go",
                                       "internal", "units.go", "go.mod", "Makefile"],
         tab="forecast.go",
         code="""package app

import (
	"fmt"
	"time"
)

const maxCacheAge = 10 * time.Minute

type Forecast struct {
	City      string
	TempC     float64
	UpdatedAt time.Time
}

func (f Forecast) Stale(now time.Time) bool {
	return now.Sub(f.UpdatedAt) > maxCacheAge
}

func (f Forecast) String() string {
	return fmt.Sprintf("%s: %.1f C", f.City, f.TempC)
}""",
         outline=["maxCacheAge", "Forecast", "Stale", "String"],
         panel_tabs=["*Problems 2", "Output", "Terminal"],
         terminal=["handlers.go:41:2: declared and not used: start", "cache.go:17:6: func evict is unused (U1000)"],
         status="Go 1.22  Ln 9, Col 1  Tab Size: 4  UTF-8"),
]


def ide(v, theme):
    t = THEMES[theme]
    s = IDE[v]
    code = s["code"].replace("\t", "    ").split("\n")
    tree = "".join(f"<div class='f{' sel' if n.startswith('*') else ''}' style='padding-left:{12 if i == 0 else 26}px'>"
                   f"{n.lstrip('*')}</div>" for i, n in enumerate(s["tree"]))
    gutter = "".join(f"<div>{i}</div>" for i in range(1, len(code) + 1))
    lines = "".join(f"<div>{highlight(c, theme) or '&nbsp;'}</div>" for c in code)
    outline = "".join(f"<div class='f'>{esc(o)}</div>" for o in s["outline"])
    ptabs = "".join(f"<span class='{'on' if p.startswith('*') else ''}'>{p.lstrip('*')}</span>" for p in s["panel_tabs"])
    term = "".join(f"<div>{esc(x)}</div>" for x in s["terminal"])
    css = (f".f{{padding:3px 10px;white-space:nowrap}}.side{{width:260px;background:{t['panel']};border-right:1px solid "
           f"{t['line']}}}.ph{{padding:8px 12px;font-size:11px;font-weight:bold;color:{t['dim']}}}"
           f".tab{{padding:8px 18px;border-bottom:2px solid {t['accent']};display:inline-block}}"
           f".code{{font-family:'DejaVu Sans Mono';font-size:13px;line-height:19px;white-space:pre}}"
           f".gut{{width:50px;text-align:right;padding-right:16px;color:{t['dim']}}}"
           f".out{{width:240px;background:{t['panel']};border-left:1px solid {t['line']}}}"
           f".panel{{height:230px;border-top:1px solid {t['line']}}}.pt{{display:flex;gap:22px;padding:8px 16px;"
           f"font-size:12px;color:{t['dim']}}}.pt .on{{color:{t['fg']};border-bottom:1px solid {t['fg']}}}"
           f".term{{font-family:'DejaVu Sans Mono';font-size:13px;line-height:19px;padding:4px 16px}}"
           f".status{{height:24px;background:{t['bar']};color:{t['barfg']};padding:4px 12px;font-size:12px;"
           f"white-space:pre}}")
    body = (f"<div class='col' style='height:100%'><div class='row grow'><div class='side'><div class='ph'>PROJECT</div>"
            f"{tree}</div><div class='col grow'><div><span class='tab'>{s['tab']}</span></div><div class='row code grow'>"
            f"<div class='gut'>{gutter}</div><div class='grow'>{lines}</div></div><div class='panel'><div class='pt'>"
            f"{ptabs}</div><div class='term'>{term}</div></div></div><div class='out'><div class='ph'>STRUCTURE</div>"
            f"{outline}</div></div><div class='status'>{s['status']}</div></div>")
    draft = ["PROJECT"] + [n.lstrip("*") for n in s["tree"]] + [s["tab"]]
    draft += [f"{i} {c.strip()}".strip() for i, c in enumerate(code, 1)]
    draft += [" ".join(p.lstrip("*") for p in s["panel_tabs"])] + s["terminal"] + ["STRUCTURE"] + s["outline"]
    draft.append(" ".join(s["status"].split()))
    tags = {"glyph": [w for w in " ".join(code + s["outline"]).split() if "_" in w],
            "lost": [str(i) for i in range(1, len(code) + 1)] + ["}"] * sum(c.strip() == "}" for c in code)
            + [s["status"]]}
    return Page(s["tab"], page(s["tab"], css, body, theme, size=13), draft, tags)


# --- web page --------------------------------------------------------------

NEWS = [
    dict(site="Harbor Docs", tabs=["Configuration - Harbor Docs", "Release notes"], url="docs.harbor.dev/configuration",
         nav=["Guides", "API reference", "Examples", "Changelog"],
         toc=["Getting started", "Installation", "*Configuration", "Environment variables", "Logging",
              "Deployment", "Troubleshooting"],
         title="Configuration",
         paras=["Harbor reads its settings from a single file named harbor.toml in the working directory.",
                "Every setting has a default, so an empty file is a valid configuration for local development.",
                "Values given on the command line override the file, and environment variables override both."],
         code=["[server]", "listen = \"0.0.0.0:8080\"", "max_body_kb = 512", "", "[storage]",
               "path = \"/var/lib/harbor\""],
         h2="Reloading without a restart",
         more=["Send the process a SIGHUP signal to reload the file. Invalid files are rejected and the old",
               "settings stay active, so a typo never takes the service down."],
         onpage=["On this page", "Overview", "File format", "Reloading without a restart", "Defaults"]),
    dict(site="The Morning Ledger", tabs=["The Morning Ledger", "Weather - Coast", "Inbox (4)"],
         url="https://www.morningledger.example/today", nav=["World", "Business", "Technology", "Science", "Culture", "Sport"],
         columns=[("City approves new tram line", "The council voted on Tuesday to build a tram line linking "
                   "the harbor with the university, with work starting next spring."),
                  ("Storm warning for the coast", "Forecasters expect strong winds and heavy rain until Friday. "
                   "Ferries to the islands may be cancelled at short notice."),
                  ("Local bakery wins national prize", "A family bakery in the old town took first place for its "
                   "rye bread, beating more than two hundred entries.")],
         more=[("Markets", "Shares rose slightly as energy prices fell for the third week in a row."),
               ("Science", "Researchers mapped the sea floor near the harbor in record detail."),
               ("Opinion", "Why small libraries matter more than ever in a digital age.")],
         date="Tuesday, March 7, 2026"),
]


def web(v, theme):
    t = THEMES[theme]
    s = NEWS[v]
    nav = "".join(f"<a>{x}</a>" for x in s["nav"])
    if v == 0:
        toc = "".join(f"<div class='tc{' sel' if x.startswith('*') else ''}'>{x.lstrip('*')}</div>" for x in s["toc"])
        paras = "".join(f"<p>{esc(p)}</p>" for p in s["paras"])
        code = esc("\n".join(s["code"]))
        more = " ".join(s["more"])
        onpage = "".join(f"<div class='{'hd' if i == 0 else 'op'}'>{x}</div>" for i, x in enumerate(s["onpage"]))
        main = (f"<div class='row grow'><div class='toc'>{toc}</div><div class='art grow'><h1>{s['title']}</h1>{paras}"
                f"<pre>{code}</pre><h2>{s['h2']}</h2><p>{esc(more)}</p></div><div class='onp'>{onpage}</div></div>")
        draft = [" ".join([s["site"]] + s["nav"])] + [x.lstrip("*") for x in s["toc"]] + [s["title"]] + s["paras"]
        draft += [c for c in s["code"] if c] + [s["h2"]] + s["more"] + s["onpage"]
        tags = {"glyph": ["harbor.toml", "max_body_kb"], "lost": [s["title"], "On", "this", "page"]}
    else:
        cols = "".join(f"<div class='nc'><div class='img'></div><h2>{a}</h2><p>{b}</p><a class='u'>Read more</a></div>"
                       for a, b in s["columns"])
        more = "".join(f"<div class='nm'><b>{a}</b> {b}</div>" for a, b in s["more"])
        main = (f"<div class='date dim'>{s['date']}</div><div class='row cols'>{cols}</div><div class='mores'>{more}</div>")
        draft = [s["site"], " ".join(s["nav"]), s["date"]]
        for a, b in s["columns"]:
            draft += [a, b, "Read more"]
        draft += [f"{a} {b}" for a, b in s["more"]]
        tags = {"lost": [s["date"]] + ["Read", "more"] * 3, "glyph": ["Read", "more"] * 3}
    css = (f".top{{display:flex;align-items:center;gap:26px;padding:14px 40px;border-bottom:1px solid {t['line']}}}"
           f".site{{font-weight:bold;font-size:20px;margin-right:20px}}.top a{{color:{t['accent']}}}"
           f".toc{{width:260px;padding:24px 20px;border-right:1px solid {t['line']}}}.tc{{padding:5px 10px}}"
           f".art{{padding:30px 50px;max-width:1000px}}h1{{font-size:34px;margin-bottom:18px}}p{{line-height:1.6;"
           f"margin-bottom:14px}}pre{{background:{t['panel']};padding:14px 18px;font-family:'DejaVu Sans Mono';"
           f"font-size:14px;line-height:1.5;margin-bottom:20px}}h2{{font-size:24px;margin:10px 0 12px}}"
           f".onp{{width:280px;padding:30px 20px}}.hd{{font-weight:bold;margin-bottom:8px}}.op{{padding:4px 0;"
           f"color:{t['accent']}}}.date{{padding:16px 40px 0}}.cols{{gap:40px;padding:20px 40px}}.nc{{flex:1}}"
           f".img{{height:190px;background:linear-gradient(120deg,#5b7fa6,#c7b48d);margin-bottom:16px}}"
           f"a.u{{color:{t['accent']};text-decoration:underline}}.mores{{padding:0 40px}}.nm{{padding:10px 0;"
           f"border-top:1px solid {t['line']}}}")
    site = (f"<span class='site'>{s['site']}</span>{nav}" if v == 0 else
            f"<span class='site'>{s['site']}</span></div><div class='top'>{nav}")
    chrome, chrome_draft = browser(s["tabs"], s["url"], theme)
    body = f"<div class='col' style='height:100%'>{chrome}<div class='top'>{site}</div>{main}</div>"
    draft = chrome_draft + draft
    tags.setdefault("lost", []).extend(s["tabs"][1:])
    return Page(s["site"], page(s["site"], css, body, theme, font="DejaVu Serif" if v else "DejaVu Sans",
                                size=16), draft, tags)


GAZETTE = dict(
    site="The Valley Gazette",
    date="Saturday, 14 March",
    nav=["Local", "Business", "Science", "Culture", "Sport"],
    headline="River Festival Returns After Four Years",
    columns=[("Local", ["The river festival comes back to the old harbour this summer, with boat races on both "
                        "weekends and a night market along the quay.",
                        "Organisers expect more than twenty thousand visitors and ask everyone to come by train or "
                        "bicycle, as parking near the water will be closed."]),
             ("Business", ["The bakery chain that started in a garage on Elm Road opened its tenth shop this week "
                           "and plans two more before the autumn.",
                           "Its founder says rising flour prices have not hurt sales, because customers now buy "
                           "fewer cakes but more bread."]),
             ("Science", ["Students at the technical college have built a small weather station that reports rain "
                          "and wind speed to a public map every minute.",
                          "The data already helped the fire service plan its patrols during the dry weeks of "
                          "February."]),
             ("Culture", ["The city library will stay open until ten in the evening from April, after a trial "
                          "showed that many readers come after work.",
                          "A new reading room for children opens on the ground floor in May."])],
)


def newspaper(theme):
    """A front page: a masthead and a headline across, then four columns of paragraphs under their sections."""
    s, t = GAZETTE, THEMES[theme]
    nav = "".join(f"<a>{x}</a>" for x in s["nav"])
    cols = "".join(f"<div class='cl'><h3>{x}</h3>" + "".join(f"<p>{esc(p)}</p>" for p in ps) + "</div>"
                   for x, ps in s["columns"])
    css = (f".mast{{text-align:center;padding:22px 0 10px;font-size:34px;font-weight:bold}}.date{{text-align:center;"
           f"color:{t['dim']};font-size:14px}}.nav{{display:flex;justify-content:center;gap:34px;padding:12px 0;"
           f"border-bottom:1px solid {t['line']};border-top:1px solid {t['line']};margin-top:10px}}"
           f"h1{{font-size:32px;padding:26px 70px 18px}}.cols{{display:flex;gap:34px;padding:0 70px}}"
           f".cl{{flex:1}}h3{{font-size:15px;text-transform:uppercase;color:{t['accent']};margin-bottom:8px}}"
           f".cl p{{line-height:1.55;margin-bottom:12px}}")
    body = (f"<div class='mast'>{s['site']}</div><div class='date'>{s['date']}</div><div class='nav'>{nav}</div>"
            f"<h1>{s['headline']}</h1><div class='cols'>{cols}</div>")
    draft = [s["site"], s["date"], " ".join(s["nav"]), s["headline"]]
    for x, ps in s["columns"]:
        draft += [x.upper()] + ps
    return Page(s["site"], page(s["site"], css, body, theme, font="DejaVu Serif", size=15), draft,
                {"lost": [s["headline"]]})


def browser(tabs, url, theme):
    """A browser's tab strip and address bar above the page; its icons are drawn, not written."""
    t = THEMES[theme]
    strip = "#dee1e6" if theme == "light" else "#202124"
    icon = (f"<span style='display:inline-block;width:14px;height:14px;border-radius:7px;border:2px solid "
            f"{t['dim']};margin-right:14px;vertical-align:middle'></span>")
    tab_html = "".join(f"<span style='display:inline-block;width:230px;padding:8px 14px;font-size:12px;"
                       f"border-radius:8px 8px 0 0;background:{t['bg'] if i == 0 else strip}'>{esc(x)}"
                       f"<span style='float:right;color:{t['dim']}'>&times;</span></span>" for i, x in enumerate(tabs))
    html = (f"<div style='background:{strip};padding:6px 8px 0;font-family:Liberation Sans'>{tab_html}</div>"
            f"<div style='padding:6px 12px;border-bottom:1px solid {t['line']};font-family:Liberation Sans;"
            f"font-size:14px'>{icon * 3}<span style='display:inline-block;width:70%;background:{strip};"
            f"border-radius:14px;padding:6px 16px'>{esc(url)}</span></div>")
    return html, [" ".join(tabs), url]


# --- dialog ----------------------------------------------------------------

DIALOGS = [
    dict(title="Unsaved changes", text=["Save changes to \"quarterly-report.odt\" before closing?",
                                        "Your changes will be lost if you don't save them."],
         buttons=["Don't Save", "Cancel", "*Save"]),
    dict(title="Replace file?", text=["A file named \"budget_q1.xlsx\" already exists in Reports.",
                                      "Replacing it will overwrite its current contents."],
         buttons=["Keep both", "Cancel", "*Replace"], check="Apply to all 3 files"),
]
DOCUMENT = ["Quarterly report", "",
            "Revenue grew in every region except the coast, where two large orders moved into April.",
            "The support team closed most tickets within a day, and the new help pages cut repeat",
            "questions by a third. Hiring stayed on plan: four engineers and two designers joined.",
            "", "Next steps", "",
            "Finish the office move before the end of May and publish the updated travel policy.",
            "Review the hardware budget with finance and agree on the laptop refresh schedule.",
            "Prepare the customer survey for June and share the draft with the product group."]


def dialog(v, theme):
    t = THEMES[theme]
    s = DIALOGS[v]
    buttons = "".join(f"<button class='{'p' if b.startswith('*') else ''}'>{esc(b.lstrip('*'))}</button>"
                      for b in s["buttons"])
    check = (f"<label class='ck'><span></span>{s['check']}</label>" if "check" in s else "")
    css = (f"body{{background:{t['panel']};border:1px solid {t['dim']}}}.d{{padding:20px 24px}}h2{{font-size:16px;margin-bottom:10px}}p{{line-height:1.5}}.ck{{display:block;"
           f"margin-top:12px}}.ck span{{display:inline-block;width:13px;height:13px;border:1px solid {t['dim']};"
           f"border-radius:3px;margin-right:8px;vertical-align:middle}}.b{{position:fixed;bottom:16px;right:20px}}"
           f"button{{font:inherit;margin-left:8px;padding:6px 16px;border-radius:5px;border:1px solid {t['line']};"
           f"background:{t['panel']};color:{t['fg']}}}button.p{{background:{t['accent']};color:#fff;"
           f"border-color:{t['accent']}}}")
    body = (f"<div class='d'><h2>{esc(s['title'])}</h2>" + "".join(f"<p>{esc(x)}</p>" for x in s["text"]) +
            f"{check}</div><div class='b'>{buttons}</div>")
    draft = [s["title"]] + s["text"] + ([s["check"]] if "check" in s else []) + [
        " ".join(b.lstrip("*") for b in s["buttons"])]
    tags = {"lost": [b.lstrip("*") for b in s["buttons"]] + [s["title"]]}
    return Page(s["title"], page(s["title"], css, body, theme, size=14), draft, tags)


def document(theme):
    t = THEMES[theme]
    paras = "".join(f"<p class='{'h' if x in ('Quarterly report', 'Next steps') else ''}'>{esc(x) or '&nbsp;'}</p>"
                    for x in DOCUMENT)
    menu = "".join(f"<span>{m}</span>" for m in ["File", "Edit", "View", "Insert", "Format", "Tools", "Help"])
    css = (f".menu{{display:flex;gap:18px;padding:6px 14px;background:{t['panel']};border-bottom:1px solid "
           f"{t['line']}}}.sheet{{width:900px;margin:30px auto;padding:50px 70px;background:#fff;color:#222;"
           f"box-shadow:0 0 6px #0003;height:900px}}p{{line-height:1.7;font-size:15px}}p.h{{font-size:22px;"
           f"font-weight:bold}}body{{background:#e8e8e8}}")
    body = f"<div class='menu'>{menu}</div><div class='sheet'>{paras}</div>"
    draft = ["File Edit View Insert Format Tools Help"] + [x for x in DOCUMENT if x]
    return Page("quarterly-report.odt", page("quarterly-report.odt", css, body, theme, font="Liberation Serif"),
                draft, {})


# --- terminals -------------------------------------------------------------

def ansi(text):
    """`{c:31}` style colour marks to escape sequences."""
    import re
    return re.sub(r"\{c:([0-9;]+)\}", lambda m: f"\033[{m.group(1)}m", text)


def strip_marks(text):
    import re
    return re.sub(r"\{c:[0-9;]+\}", "", text)


PROMPT = "{c:1;32}sam@atlas{c:0}:{c:1;34}~/src/kestrel{c:0}$ "
TERMINAL_SESSIONS = [
    [PROMPT + "git log --oneline -5",
     "{c:33}3f9c2e1{c:0} (HEAD -> main) Cache forecasts for ten minutes",
     "{c:33}a71d0b4{c:0} Return 404 for unknown cities",
     "{c:33}5c2e9f8{c:0} Add retry with backoff to the upstream client",
     "{c:33}e04b6a3{c:0} Move unit conversion into its own package",
     "{c:33}9b1f7d2{c:0} Initial import",
     PROMPT + "ls -l",
     "total 32",
     "-rw-r--r-- 1 sam sam  1204 Mar  7 09:12 Makefile",
     "-rw-r--r-- 1 sam sam  2311 Mar  7 09:40 README.md",
     "drwxr-xr-x 2 sam sam  4096 Mar  6 17:02 {c:1;34}app{c:0}",
     "-rwxr-xr-x 1 sam sam  8123 Mar  6 16:55 {c:1;32}deploy.sh{c:0}",
     "-rw-r--r-- 1 sam sam   312 Mar  2 11:20 go.mod",
     "drwxr-xr-x 3 sam sam  4096 Mar  2 11:20 {c:1;34}internal{c:0}",
     PROMPT + "grep -n TODO app/*.go",
     "{c:35}app/cache.go{c:0}:{c:32}17{c:0}:// {c:1;31}TODO{c:0}: evict entries when memory is low",
     "{c:35}app/handlers.go{c:0}:{c:32}58{c:0}:// {c:1;31}TODO{c:0}: return the cached copy on upstream errors",
     PROMPT + "make test",
     "go test ./...",
     "ok   kestrel/app       0.412s",
     "ok   kestrel/internal  0.108s",
     PROMPT],
    ["{c:1;36}lena@desk{c:0} {c:33}~/projects/site{c:0} {c:35}(main){c:0} $ npm run build",
     "> site@1.4.0 build",
     "> vite build",
     "vite v5.2.0 building for production...",
     "{c:32}✓{c:0} 148 modules transformed.",
     "dist/index.html                  0.46 kB",
     "dist/assets/index-4f2c1a.css    12.80 kB",
     "dist/assets/index-9b7e3d.js    143.22 kB",
     "{c:32}✓ built in 2.31s{c:0}",
     "{c:1;36}lena@desk{c:0} {c:33}~/projects/site{c:0} {c:35}(main){c:0} $ git status --short",
     " {c:31}M{c:0} src/pages/about.md",
     "{c:31}??{c:0} src/pages/contact.md",
     "{c:1;36}lena@desk{c:0} {c:33}~/projects/site{c:0} {c:35}(main){c:0} $ "],
]

LOG_SERVICES = ["api", "worker-1", "worker-2", "scheduler", "db-pool", "auth", "mailer"]
LOG_EVENTS = [
    "INFO  request GET /api/v2/orders?page={n} status=200 duration_ms={ms}",
    "DEBUG cache hit key=customer:{id} ttl_s=300",
    "INFO  job_id={id} finished in {ms} ms, 0 retries",
    "WARN  slow query on orders_by_region took {ms} ms (threshold 250 ms)",
    "INFO  user_id={id} signed in from 10.20.{n}.14",
    "ERROR upstream timeout after 5000 ms, retry {n} of 3 for invoice_{id}",
    "INFO  flushed {n} metrics to the collector",
    "DEBUG connection {n} returned to the pool, idle={n}",
]


def log_lines(seed, count, width):
    import random
    rnd = random.Random(seed)
    lines = []
    h, m, s = 12, 11, 0
    for i in range(count):
        s += rnd.randint(0, 2)
        ms = rnd.randint(0, 999)
        if s >= 60:
            m, s = m + 1, s - 60
        event = rnd.choice(LOG_EVENTS).format(n=rnd.randint(1, 40), ms=rnd.randint(3, 900),
                                              id=rnd.randint(1000, 99999))
        line = (f"2026-03-07 {h:02}:{m:02}:{s:02}.{ms:03} [{rnd.choice(LOG_SERVICES)}] {event:<86} "
                f"host=node-{rnd.randint(1, 9)}.eu-central-1 trace_id={rnd.getrandbits(64):016x} "
                f"span={rnd.getrandbits(32):08x} version=4.2.{rnd.randint(0, 9)} pid={rnd.randint(900, 9999)}")
        lines.append(line[:width])
    return lines


def terminal_windows(v):
    """Three overlapping terminals: (title, lines, geometry, bg, fg)."""
    if v == 0:
        return [("build: make", ["$ make", "cc -O2 -c parser.c -o parser.o", "cc -O2 -c lexer.c -o lexer.o",
                                 "cc -O2 -c main.c -o main.o", "cc -o calc parser.o lexer.o main.o",
                                 "$ ./calc '2 * (3 + 4)'", "14", "$ "], "70x16+60+60", "white", "black"),
                ("notes: less todo.txt", ["Monday", "- renew the parking permit", "- call the plumber about the leak",
                                          "- order printer paper", "Tuesday", "- team lunch at noon",
                                          "- send slides to Priya", "Wednesday", "- dentist at 8:30"],
                 "60x14+640+250", "#fdf6e3", "#586e75"),
                ("monitor: uptime", ["$ uptime", " 14:02:11 up 12 days,  3:41,  2 users,  load average: 0.42, 0.38, 0.31",
                                     "$ free -h", "       total   used   free",
                                     "Mem:    15Gi  6.1Gi  7.2Gi", "Swap:  2.0Gi    0B  2.0Gi", "$ "],
                 "80x12+1100+520", "#1e1e1e", "#d0d0d0")]
    return [("ssh db01", ["db01$ systemctl status postgresql", "postgresql.service - PostgreSQL database server",
                          "   Active: active (running) since Mon 2026-03-06 08:00:14 UTC",
                          "   Memory: 412.6M", "db01$ psql -c 'select count(*) from orders'", " count",
                          "-------", " 48213", "(1 row)", "db01$ "], "72x16+120+100", "#002b36", "#93a1a1"),
            ("python3", [">>> total = sum(range(1, 101))", ">>> total", "5050",
                         ">>> words = ['alpha', 'beta', 'gamma']", ">>> ', '.join(w.upper() for w in words)",
                         "'ALPHA, BETA, GAMMA'", ">>> "], "64x12+640+210", "white", "#202020"),
            ("htop-lite", ["PID   USER   CPU%  MEM%  COMMAND", "2211  sam    12.0   3.1  chromium",
                           "1840  sam     4.5   1.2  python3 server.py", "  97  root    0.7   0.4  systemd-journald",
                           "3012  sam     0.3   0.1  bash"], "60x10+420+380", "black", "#b8f0b8")]


# Tuning screens added when the first ones were read well: other colours,
# more overlap, a larger font and different commands.
TERMINAL_TRIO = [
    ("deploy: git", ["$ git status --short", " M src/router.ts", " M src/views/cart.tsx", "?? docs/release-notes.md",
                     "$ git diff --stat", " src/router.ts       | 14 ++++++++------",
                     " src/views/cart.tsx  |  9 ++++++---", " 2 files changed, 15 insertions(+), 8 deletions(-)",
                     "$ git commit -am 'Route the cart through checkout'", "[main 7e41c0a] Route the cart through checkout",
                     "$ "], "76x14+90+120", "#eee8d5", "#073642"),
    ("containers", ["$ docker ps --format 'table {{.Names}}  {{.Status}}'", "NAMES        STATUS",
                    "web-1        Up 3 hours", "queue-1      Up 3 hours", "cache-1      Up 2 days (healthy)",
                    "$ docker logs --tail 3 web-1", "GET /health 200 2ms", "GET /cart 200 41ms",
                    "POST /checkout 201 118ms", "$ "], "66x13+700+300", "#282c34", "#abb2bf"),
    ("disk usage", ["$ df -h /home", "Filesystem  Size  Used Avail Use% Mounted on",
                    "/dev/nvme0n1p3  468G  301G  144G  68% /home", "$ du -sh Downloads Music Videos",
                    "5.2G    Downloads", "38G     Music", "112G    Videos", "$ "], "62x10+1180+160", "#fffbe6", "#3b3b3b"),
]
# Three terminals, the last on top of the lower parts of the other two,
# cutting their lines off.
TERMINAL_STACK = [
    ("mail relay", ["relay$ journalctl -u postfix --since today | tail -4",
                    "Mar 09 07:58:02 relay postfix/qmgr[912]: 4F2A1C3: removed",
                    "Mar 09 08:01:17 relay postfix/smtp[1450]: connect to mx2.example.net timed out",
                    "Mar 09 08:01:19 relay postfix/smtp[1450]: 7B9E0D4: sent (250 2.0.0 OK)",
                    "Mar 09 08:02:40 relay postfix/qmgr[912]: 7B9E0D4: removed",
                    "relay$ mailq | tail -1", "-- 3 Kbytes in 2 Requests.", "relay$ "],
     "84x14+150+90", "#1d2b2f", "#a3b5b8"),
    ("node", ["> const prices = [12.5, 8, 30]", "undefined", "> prices.map(p => p * 1.2)", "[ 15, 9.6, 36 ]",
              "> new Date(2026, 2, 9).toDateString()", "'Mon Mar 09 2026'", "> "],
     "56x12+1010+170", "#ffffff", "#303030"),
    ("watch uptime", ["Every 2.0s: uptime", "", " 08:03:11 up 41 days,  2:17,  3 users,  load average: 1.12, 0.97, 0.88"],
     "74x5+560+215", "#101010", "#e0e0a0"),
]


PAPER_PROMPT = "{c:1;34}omar@lab{c:0}:{c:1;35}~/thesis{c:0}$ "
PAPER_SESSION = [PAPER_PROMPT + "wc -w chapters/*.tex", "  4210 chapters/intro.tex", "  9876 chapters/method.tex",
                 " 14086 total", PAPER_PROMPT + "python3 plot.py --out figures/",
                 "Saved figures/accuracy.pdf (3 series)", "Saved figures/latency.pdf (2 series)",
                 PAPER_PROMPT + "latexmk -pdf main.tex", "Latexmk: All targets (main.pdf) are up-to-date",
                 PAPER_PROMPT + "ls figures", "{c:32}accuracy.pdf{c:0}  {c:32}latency.pdf{c:0}  setup.svg",
                 PAPER_PROMPT]


DENSE_TEXT = [(0, 240, 62), (1, 240, 62)]
