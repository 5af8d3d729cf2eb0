"""The Python package ortelix, built by CMake from the project's sources one
folder up, so that it runs the very library of the command-line programs.

    pip install --no-build-isolation ./python

builds in python/build/cmake (or in $ORTELIX_CMAKE_BUILD_DIR, such as the
project's build folder, whose objects are then reused) and installs the
package. On Debian, run it in a virtual environment, or for the system's
python3 through 'make python'.
"""

import os
import pathlib
import re
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parent
VERSION = re.search(r"project\(ortelix VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text()).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(os.environ.get("ORTELIX_CMAKE_BUILD_DIR") or HERE / "build" / "cmake").resolve()
        configure = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
                     "-DORTELIX_PYTHON=ON", "-DORTELIX_SANITIZE=OFF", f"-DPython_EXECUTABLE={sys.executable}"]
        if not (build / "CMakeCache.txt").exists():
            configure.append("-DORTELIX_TESTS=OFF")  # a folder of its own needs no tests
        subprocess.run(configure, check=True)
        jobs = str(os.cpu_count() or 2)
        subprocess.run(["cmake", "--build", str(build), "--target", "python_package", "-j", jobs], check=True)
        built = build / "python" / "ortelix" / ("_core" + sysconfig.get_config_var("EXT_SUFFIX"))
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(target))


setup(
    name="ortelix",
    version=VERSION,
    description="PCNM spatial variables of sampling sites, on the library of ortelix-pcnm",
    packages=["ortelix"],
    ext_modules=[Extension("ortelix._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    python_requires=">=3.8",
    install_requires=["numpy"],
    extras_require={"frame": ["pandas"], "maps": ["matplotlib"]},
    zip_safe=False,
)
