"""Running notebooks headlessly on Debian's nbclient, whose handler of
widgets' comm messages expects the state in the message that opens a
widget, which ipywidgets 6 sends afterwards: such messages are left to the
kernel's side here, as a front end without widgets leaves them."""

import os

import nbformat
from nbclient import NotebookClient


class WidgetTolerantClient(NotebookClient):
    def on_comm_open_jupyter_widget(self, msg):
        if "state" not in msg["content"]["data"]:
            return None
        return super().on_comm_open_jupyter_widget(msg)


def example(name):
    return os.path.join(os.environ["DLA_SOURCE_DIR"], "python", "examples", name)


def client(notebook, directory, **options):
    """A client for the notebook whose kernel runs in directory, with
    Debian's python3 and this build's module (PYTHONPATH)."""
    return WidgetTolerantClient(notebook, timeout=300, kernel_name="python3",
                                resources={"metadata": {"path": str(directory)}}, **options)


def read(path):
    return nbformat.read(path, as_version=4)


def code(*sources):
    """A notebook of these code cells."""
    return nbformat.v4.new_notebook(cells=[nbformat.v4.new_code_cell(s) for s in sources])
