// The form's handlers in the page, over the rules compiled to WebAssembly.
"use strict";

// The rules' module: beside the page, or inside it, gzipped.
const packed = document.getElementById("packed");
const rulesBinary = packed ? new Response(new Blob([Uint8Array.from(atob(packed.textContent),
    (c) => c.charCodeAt(0))]).stream().pipeThrough(new DecompressionStream("gzip"))).arrayBuffer()
    : Promise.resolve(undefined);

rulesBinary.then((wasmBinary) => Promise.all([wasmBinary, Convqvr({wasmBinary})])).then(([wasmBinary, rules]) => {
    const nhc = document.getElementById("nhc");
    const qvr = document.getElementById("qvr");
    const Quitter = document.getElementById("Quitter");
    const menu = document.getElementById("menu");
    const said = document.getElementById("dit");

    // Texts cross into the module as UTF-16, as the page holds them.
    const withText = (text, use) => {
        const bytes = (text.length + 1) * 2;
        const at = rules._malloc(bytes);
        rules.stringToUTF16(text, at, bytes);
        try {
            return use(at, text.length);
        } finally {
            rules._free(at);
        }
    };
    const count = (text) => withText(text, (at, length) => rules._convqvr_count(at, length));

    // The code of one typed character, or 0 once it is discarded; `before`
    // is the box's text before the character is taken.
    function nhc_KeyPress(KeyAscii, before = nhc.value) {
        return rules._convqvr_filter(KeyAscii, count(before));
    }

    // What of `typed` the key filter lets into a box that holds `before`.
    const filtered = (typed, before) => {
        let taken = "";
        for (const character of typed) {
            if (nhc_KeyPress(character.codePointAt(0), before + taken) !== 0)
                taken += character;
        }
        return taken;
    };

    let previous = ""; // the box's text after the last change
    function nhc_Change() {
        const shown = withText(nhc.value, (at, length) => rules._convqvr_convert(at, length));
        qvr.textContent = rules.UTF16ToString(shown, rules._convqvr_shown_length() * 2);
        previous = nhc.value;
    }

    function nhc_Click() {
        nhc.value = "";
        nhc_Change();
    }

    // A tab the visitor opened is not the page's to close: it says so, and
    // empties the form.
    function Quitter_Click() {
        window.close();
        if (!window.closed) {
            said.textContent = "Le navigateur ne laisse pas la page fermer cet onglet : "
                + "fermez-le vous-même. Le formulaire est vidé.";
            nhc_Click();
            nhc.focus();
        }
    }

    // Whatever would enter the box by typing, from a keyboard, a phone's
    // keyboard or an input method, goes through nhc_KeyPress one character
    // at a time. A paste is not typing, and a drop is refused.
    nhc.addEventListener("beforeinput", (event) => {
        if (event.inputType === "insertFromDrop") {
            event.preventDefault();
            return;
        }
        if (!typing(event) || event.data === null)
            return;
        const taken = filtered(event.data, nhc.value);
        if (taken === event.data)
            return;
        event.preventDefault();
        if (taken !== "")
            document.execCommand("insertText", false, taken);
    });
    const typing = (event) => ["insertText", "insertReplacementText", "insertCompositionText"]
        .includes(event.inputType);
    // Some text comes in with no beforeinput that can be refused: an input
    // method's commit, some phone keyboards. What it added is filtered after.
    const refilter = () => {
        const now = nhc.value;
        let start = 0, end = 0;
        while (start < previous.length && now[start] === previous[start])
            ++start;
        while (end < previous.length - start && end < now.length - start
            && now[now.length - 1 - end] === previous[previous.length - 1 - end])
            ++end;
        const added = now.slice(start, now.length - end);
        const taken = filtered(added, previous);
        if (taken !== added) {
            nhc.value = now.slice(0, start) + taken + now.slice(now.length - end);
            nhc.setSelectionRange(start + taken.length, start + taken.length);
        }
    };
    nhc.addEventListener("input", (event) => {
        if (event.isComposing)
            return; // the text being composed is shown as it is until committed
        if (typing(event))
            refilter();
        nhc_Change();
    });
    nhc.addEventListener("compositionend", () => {
        refilter();
        nhc_Change();
    });
    nhc.addEventListener("pointerdown", (event) => {
        if (event.button === 0)
            nhc_Click();
    });
    Quitter.addEventListener("click", Quitter_Click);

    // The result's menu copies the selection in it, or the whole result.
    qvr.addEventListener("contextmenu", (event) => {
        event.preventDefault();
        menu.style.left = `${event.clientX}px`;
        menu.style.top = `${event.clientY}px`;
        menu.hidden = false;
        menu.querySelector("button").focus();
    });
    const copyResult = () => {
        const selection = window.getSelection();
        const selected = qvr.contains(selection.anchorNode) ? selection.toString() : "";
        const text = selected || qvr.textContent;
        if (text !== "")
            navigator.clipboard.writeText(text);
    };
    menu.querySelector("button").addEventListener("click", () => {
        copyResult();
        menu.hidden = true;
        nhc.focus();
    });
    // Copy in the box with nothing selected copies the whole result.
    nhc.addEventListener("keydown", (event) => {
        const copying = event.ctrlKey && !event.altKey && !event.shiftKey
            && ["c", "C", "Insert"].includes(event.key);
        if (copying && nhc.selectionStart === nhc.selectionEnd) {
            event.preventDefault();
            copyResult();
        }
    });
    for (const closing of ["pointerdown", "keydown"]) {
        document.addEventListener(closing, (event) => {
            if (!menu.hidden && !menu.contains(event.target) || event.key === "Escape")
                menu.hidden = true;
        });
    }

    // A whole file, dropped or chosen, converted off the page's thread by the
    // same rules, and offered back under a name that says so.
    const progress = document.getElementById("avance");
    const link = document.getElementById("converti");
    const reports = document.getElementById("signales");
    const chooser = document.getElementById("fichier");
    const shownReports = 1000;
    const ownCopy = document.getElementById("worker");
    const workerSource = ownCopy ? URL.createObjectURL(new Blob(
        [document.getElementById("rules").textContent, ownCopy.textContent],
        {type: "text/javascript"})) : "convqvr-worker.js";
    // A worker waits ready, its rules compiled, for the next file; one still
    // converting the last file is stopped.
    const started = () => {
        const made = new Worker(workerSource);
        made.postMessage({wasmBinary});
        return made;
    };
    let worker = null;
    let spare = started();
    const convertFile = (file) => {
        worker?.terminate();
        worker = spare;
        spare = started();
        let count = 0;
        progress.value = 0;
        progress.hidden = false;
        link.hidden = reports.hidden = true;
        reports.replaceChildren();
        said.textContent = `${file.name} : conversion…`;
        const item = (text) => reports.append(
            Object.assign(document.createElement("li"), {textContent: text}));
        const report = (notes) => {
            for (const note of notes.split("\n").filter((line) => line !== "")) {
                if (++count <= shownReports)
                    item(note);
            }
            reports.hidden = count === 0;
        };
        worker.onmessage = ({data}) => {
            if (data.failed !== undefined || data.refused !== undefined) {
                progress.hidden = true;
                said.textContent = data.refused !== undefined ? `${file.name} : ${data.refused}.`
                    : `${file.name} : la lecture a échoué (${data.failed}).`;
                return;
            }
            report(data.notes);
            if (data.converted === undefined) {
                progress.value = data.done;
                return;
            }
            if (count > shownReports)
                item(`… et ${count - shownReports} de plus`);
            progress.hidden = true;
            said.textContent = data.said;
            URL.revokeObjectURL(link.href);
            link.href = URL.createObjectURL(data.converted);
            link.download = data.convertedName;
            link.textContent = `Télécharger ${link.download}`;
            link.hidden = false;
        };
        worker.postMessage(file);
    };
    document.getElementById("choisir").addEventListener("click", () => chooser.click());
    chooser.addEventListener("change", () => {
        if (chooser.files.length)
            convertFile(chooser.files[0]);
        chooser.value = "";
    });
    document.addEventListener("dragover", (event) => {
        if (event.dataTransfer.types.includes("Files"))
            event.preventDefault();
    });
    document.addEventListener("drop", (event) => {
        if (event.dataTransfer.files.length) {
            event.preventDefault();
            convertFile(event.dataTransfer.files[0]);
        }
    });

    if ("serviceWorker" in navigator && location.protocol.startsWith("http"))
        navigator.serviceWorker.register("sw.js");
    nhc.focus();
    // Marked for tests and measurements: the form now answers.
    document.documentElement.dataset.ready = "";
    performance.mark("ready");
});
