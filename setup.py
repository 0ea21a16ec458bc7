"""Builds and installs the Python package varnex with CMake.

    /usr/bin/python3 -m pip install --no-build-isolation .

CMake builds the extension varnex._core and the varnex library; both are
placed in the package, the extension finding the library beside itself.
Nothing is downloaded: the build uses the Debian packages of scripts/deps.sh.
"""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(Varnex VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    """Builds the CMake target varnex_python and copies its products."""

    def build_extension(self, ext):
        build_dir = pathlib.Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
            "-DVARNEX_BUILD_TESTS=OFF", "-DVARNEX_BUILD_BENCH=OFF", "-DVARNEX_BUILD_TOOLS=OFF",
            "-DVARNEX_PYTHON=ON", "-DVARNEX_PYTHON_BUNDLE=ON", f"-DPython3_EXECUTABLE={sys.executable}",
        ]
        if shutil.which("ccache"):
            configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        subprocess.run(configure, check=True)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "varnex_python",
                        "-j", str(os.cpu_count() or 1)], check=True)
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(next((build_dir / "python" / "varnex").glob("_core*.so")), target)
        for lib in (build_dir / "src").iterdir():
            if re.fullmatch(r"libvarnex\.so\.\d+", lib.name):  # the name the extension asks for
                shutil.copy2(lib, target.parent / lib.name)


setup(
    name="varnex",
    version=project_version(),
    description="Molecular fingerprints and similarity search",
    license="BSD-3-Clause",
    packages=["varnex"],
    package_dir={"": "python"},
    ext_modules=[Extension("varnex._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build-pip"}},
    install_requires=["numpy"],
    python_requires=">=3.9",
)
