// The page's listing editor: CodeMirror with line numbers in a gutter, the rows of errors marked
// there, the elements in error underlined, and an undo history. The build bundles this file and
// the parts of CodeMirror it uses into the page (cmake/web.cmake), as the global createEditor.
import {EditorState, RangeSet, StateEffect, StateField} from "@codemirror/state";
import {Decoration, EditorView, GutterMarker, gutterLineClass, highlightSpecialChars, keymap,
        lineNumbers} from "@codemirror/view";
import {history, historyKeymap, standardKeymap} from "@codemirror/commands";

const setErrors = StateEffect.define();
const rowInError = new (class extends GutterMarker {
  elementClass = "error";
})();
const elementInError = Decoration.mark({class: "cm-inError"});

// The errors shown: the rows marked in the gutter and the elements underlined, both moved along
// with the edits until the next check gives them anew.
const errorsShown = StateField.define({
  create: () => ({rows: RangeSet.empty, elements: Decoration.none}),
  update(shown, transaction) {
    for (const effect of transaction.effects) {
      if (effect.is(setErrors)) return effect.value;
    }
    return {rows: shown.rows.map(transaction.changes),
            elements: shown.elements.map(transaction.changes)};
  },
  provide: (field) => [gutterLineClass.from(field, (shown) => shown.rows),
                       EditorView.decorations.from(field, (shown) => shown.elements)],
});

// The editor in parent; changed is called after each change of its text. Places are UTF-16 code
// units of the text, whose line ends are LF: the editor turns CR and CR LF into LF.
globalThis.createEditor = (parent, changed, attributes) => {
  const extensions = [
    lineNumbers(), highlightSpecialChars(), history(), errorsShown,
    keymap.of([...standardKeymap, ...historyKeymap]),
    EditorView.contentAttributes.of(attributes),
    EditorView.updateListener.of((update) => update.docChanged && changed()),
  ];
  const view = new EditorView({parent, state: EditorState.create({extensions})});
  const text = () => view.state.doc.toString();
  return {
    view,
    get value() {
      return text();
    },
    // The selection as [start, end].
    get selection() {
      const {from, to} = view.state.selection.main;
      return [from, to];
    },
    // A text of its own, as a file opened: without the undo history of the text before.
    load(value) {
      view.setState(EditorState.create({doc: value, extensions}));
    },
    // The whole text replaced as an edit of the user's, which undo takes back.
    rewrite(value) {
      view.dispatch({changes: {from: 0, to: view.state.doc.length, insert: value},
                     selection: {anchor: 0}, userEvent: "input.rewrite", scrollIntoView: true});
    },
    select(start, end) {
      view.focus();
      view.dispatch({selection: {anchor: start, head: end},
                     effects: EditorView.scrollIntoView(start, {y: "center"})});
    },
    focus() {
      view.focus();
    },
    // Errors as {start, end} places: each one's row marked, its element underlined.
    showErrors(errors) {
      const doc = view.state.doc;
      const rows = [];
      const elements = [];
      for (const {start, end} of errors) {
        const row = doc.lineAt(Math.min(start, doc.length)).from;
        if (rows.at(-1)?.from !== row) rows.push(rowInError.range(row));
        if (end > start && end <= doc.length) elements.push(elementInError.range(start, end));
      }
      view.dispatch({effects: setErrors.of({rows: RangeSet.of(rows),
                                            elements: Decoration.set(elements)})});
    },
  };
};
